// libFuzzer target for the output-file reader: any bytes as a file chosen in "Open Output".
//
// Besides crashes and sanitizer findings it checks that the log text has only
// CR LF line breaks, one for each line of the file; that saving the log and
// opening it again gives the same log; and that the text box's line breaks
// convert back to the same log.
#include "ui/OutputFiles.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Lines of the file counted on its bytes: CR, CR LF and a lone LF each end
// one, and a last line without an end counts too.
qsizetype lineCount(const QByteArray& bytes)
{
    qsizetype lines = 0;
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            ++lines;
            if (bytes[i] == '\r' && i + 1 < size && bytes[i + 1] == '\n') {
                ++i;
            }
        }
    }
    if (size > 0 && bytes[size - 1] != '\r' && bytes[size - 1] != '\n') {
        ++lines;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString log = orvalis::logTextFromFile(bytes);

    check(log.isEmpty() == bytes.isEmpty());
    qsizetype breaks = 0;
    for (qsizetype i = 0; i < log.size(); ++i) {
        if (log[i] == QLatin1Char('\r')) {
            check(i + 1 < log.size() && log[i + 1] == QLatin1Char('\n'));
            ++breaks;
        } else if (log[i] == QLatin1Char('\n')) {
            check(i > 0 && log[i - 1] == QLatin1Char('\r'));
        }
    }
    check(breaks == lineCount(bytes));
    check(log.isEmpty() || log.endsWith(QStringLiteral("\r\n")));

    // Save (UTF-8, exactly the log) and open again.
    check(orvalis::logTextFromFile(log.toUtf8()) == log);
    // Into the text box and back.
    const QString box = orvalis::toBoxLineBreaks(log);
    check(!box.contains(QLatin1Char('\r')));
    check(orvalis::toLogLineBreaks(box) == log);
    return 0;
}
