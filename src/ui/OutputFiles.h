// The log's text in output files (UTF-8, lines ending in CR LF) and in its text box (lines ending in LF).
#pragma once

#include "common/Outcome.h"

#include <QByteArray>
#include <QString>

namespace orvalis {

// The log text an output file's bytes give: UTF-8, or Latin-1 where the bytes
// are not valid UTF-8; every line (ended by CR, CR LF or a lone LF, or by the
// end of the file) followed by CR LF. An empty file gives the empty text.
QString logTextFromFile(const QByteArray& bytes);

// CR LF and lone CR become LF, the text box's own line break. One pass, so
// that a log of hundreds of megabytes converts in linear time.
QString toBoxLineBreaks(QString text);

// Every LF becomes CR LF, the log's line break. One pass.
QString toLogLineBreaks(QStringView text);

// A path as a message or a title shows it: control characters escaped by
// escapeControlCharacters, so that a file name with a line break or an
// escape sequence shows on one line as written.
QString shownPath(const QString& path);

// The captions of the output-file dialogs, which show these refusals.
inline constexpr const char* OpenOutputTitle = "Open Output";
inline constexpr const char* SaveOutputTitle = "Save Output";

// The log text of the whole file (logTextFromFile), or a refusal naming the
// path (shownPath).
Outcome<QString> readOutputFile(const QString& path);

// Writes bytes to path through writeFileSafely (the command line's routine
// too): never over dataFile (the imported data file, when there is one), a
// directory, a pipe, a device or a read-only file; a link is written through.
// A refusal under title says "<what> could not be saved to PATH: reason."
// (PATH by shownPath) and
// leaves an existing file as it was.
Status writeFileBytes(const QString& path, const QByteArray& bytes, const char* title, const QString& what,
                      const QString& dataFile = {});

// Writes text as UTF-8, exactly (no line end added), through writeFileBytes.
Status writeOutputFile(const QString& path, const QString& text, const QString& dataFile = {});

} // namespace orvalis
