// The log's text in output files (UTF-8, lines ending in CR LF) and in its text box (lines ending in LF).
#pragma once

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

// Reads the whole file; on failure returns false and sets error to a sentence
// naming the path.
bool readOutputFile(const QString& path, QString& text, QString& error);

// Writes text as UTF-8, exactly (no line end added), replacing any file of
// that name only once everything is written. On failure returns false, leaves
// an existing file as it was and sets error to a sentence naming the path.
bool writeOutputFile(const QString& path, const QString& text, QString& error);

} // namespace orvalis
