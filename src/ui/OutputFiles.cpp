// Output files through QFile and QSaveFile.
#include "ui/OutputFiles.h"

#include "common/SafeWrite.h"
#include "common/TextEscape.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace orvalis {

QString logTextFromFile(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    if (utf8.hasError()) {
        decoded = QString::fromLatin1(bytes);
    }
    // How much longer the text gets: one character for each line end that is
    // a lone CR or a lone LF, two for a last line without a line end.
    const qsizetype size = decoded.size();
    const QChar* const in = decoded.constData();
    qsizetype growth = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (in[i] == QLatin1Char('\r')) {
            if (i + 1 < size && in[i + 1] == QLatin1Char('\n')) {
                ++i;
            } else {
                ++growth;
            }
        } else if (in[i] == QLatin1Char('\n')) {
            ++growth;
        }
    }
    const bool lastLineOpen = size > 0 && in[size - 1] != QLatin1Char('\r') && in[size - 1] != QLatin1Char('\n');
    if (lastLineOpen) {
        growth += 2;
    }
    if (growth == 0) {
        return decoded; // already the log's form, as a saved log is
    }
    QString text(size + growth, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = in[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            *out++ = QLatin1Char('\r');
            *out++ = QLatin1Char('\n');
            if (c == QLatin1Char('\r') && i + 1 < size && in[i + 1] == QLatin1Char('\n')) {
                ++i;
            }
        } else {
            *out++ = c;
        }
    }
    if (lastLineOpen) {
        *out++ = QLatin1Char('\r');
        *out++ = QLatin1Char('\n');
    }
    return text;
}

QString toBoxLineBreaks(QString text)
{
    const qsizetype first = text.indexOf(QLatin1Char('\r'));
    if (first < 0) {
        return text;
    }
    // Compacts in place: the text only gets shorter.
    QChar* const begin = text.data();
    const qsizetype size = text.size();
    QChar* write = begin + first;
    for (qsizetype i = first; i < size; ++i) {
        const QChar c = begin[i];
        if (c == QLatin1Char('\r')) {
            *write++ = QLatin1Char('\n');
            if (i + 1 < size && begin[i + 1] == QLatin1Char('\n')) {
                ++i;
            }
        } else {
            *write++ = c;
        }
    }
    text.truncate(write - begin);
    return text;
}

QString toLogLineBreaks(QStringView text)
{
    const qsizetype breaks = text.count(QLatin1Char('\n'));
    QString out(text.size() + breaks, Qt::Uninitialized);
    QChar* write = out.data();
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            *write++ = QLatin1Char('\r');
        }
        *write++ = c;
    }
    return out;
}

QString shownPath(const QString& path)
{
    return QString::fromStdString(escapeControlCharacters(path.toStdString()));
}

namespace {

Refusal fileRefusal(const QString& message, const char* title)
{
    return Refusal{message.toStdString(), title, Refusal::Reason::Fault};
}

Refusal notRead(const QString& path, const QString& why)
{
    return fileRefusal(QStringLiteral("The file %1 could not be read: %2.").arg(shownPath(path), why), OpenOutputTitle);
}

} // namespace

Outcome<QString> readOutputFile(const QString& path)
{
    QFile file(path);
    if (QFileInfo(path).isDir()) {
        return notRead(path, QStringLiteral("it is a directory"));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return notRead(path, file.errorString());
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return notRead(path, file.errorString());
    }
    return logTextFromFile(bytes);
}

Status writeFileBytes(const QString& path, const QByteArray& bytes, const char* title, const QString& what,
                      const QString& dataFile)
{
    SafeWriteOptions options;
    if (!dataFile.isEmpty()) {
        options.protectedFiles.push_back(QFile::encodeName(dataFile).toStdString());
    }
    const Status written =
        writeFileSafely(QFile::encodeName(path).toStdString(),
                        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), options);
    if (!written.ok()) {
        return fileRefusal(QStringLiteral("%1 could not be saved to %2: %3.")
                               .arg(what, shownPath(path), QString::fromStdString(written.refusal().message)),
                           title);
    }
    return Done{};
}

Status writeOutputFile(const QString& path, const QString& text, const QString& dataFile)
{
    return writeFileBytes(path, text.toUtf8(), SaveOutputTitle, QStringLiteral("The output"), dataFile);
}

} // namespace orvalis
