// Output files through QFile and QSaveFile.
#include "ui/OutputFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace orvalis {

QString logTextFromFile(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    if (utf8.hasError()) {
        decoded = QString::fromLatin1(bytes);
    }
    QString text;
    text.reserve(decoded.size() + decoded.size() / 16);
    qsizetype lineStart = 0;
    const qsizetype size = decoded.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = decoded.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            text += QStringView(decoded).mid(lineStart, i - lineStart);
            text += QStringLiteral("\r\n");
            if (c == QLatin1Char('\r') && i + 1 < size && decoded.at(i + 1) == QLatin1Char('\n')) {
                ++i;
            }
            lineStart = i + 1;
        }
    }
    if (lineStart < size) {
        text += QStringView(decoded).mid(lineStart);
        text += QStringLiteral("\r\n");
    }
    return text;
}

bool readOutputFile(const QString& path, QString& text, QString& error)
{
    QFile file(path);
    if (QFileInfo(path).isDir()) {
        error = QStringLiteral("The file %1 could not be read: it is a directory.").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("The file %1 could not be read: %2.").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("The file %1 could not be read: %2.").arg(path, file.errorString());
        return false;
    }
    text = logTextFromFile(bytes);
    return true;
}

bool writeOutputFile(const QString& path, const QString& text, QString& error)
{
    const QFileInfo info(path);
    if (info.exists() && (info.isDir() || !info.isWritable())) {
        error = QStringLiteral("The output could not be saved to %1: %2.")
                    .arg(path, info.isDir() ? QStringLiteral("it is a directory")
                                            : QStringLiteral("the file is read-only"));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("The output could not be saved to %1: %2.").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    // A short text stays in QSaveFile's buffer until commit(), and Qt 6.4's
    // commit() reports success even when that last flush fails (a full disk):
    // it would replace the file with an empty one. So flush and check first.
    const bool written = file.write(bytes) == bytes.size() && file.flush() && file.error() == QFileDevice::NoError;
    if (!written) {
        error = QStringLiteral("The output could not be saved to %1: %2.").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = QStringLiteral("The output could not be saved to %1: %2.").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace orvalis
