// SettingsKeys: every key the desktop program keeps in QSettings, in one place.
#pragma once

#include <QString>

// The strings are what users' stored settings are filed under: a key is never
// respelt, or every user loses that choice. A new key is added here, in its
// group, and nowhere else spells it.
namespace orvalis::SettingsKeys {

// The main window: the folder the file picker last showed, and the delimiter
// of the last import (its word, as the delimiter table spells it).
inline const QString PickerDirectory = QStringLiteral("picker/directory");
inline const QString ImportDelimiter = QStringLiteral("import/delimiter");

// Analyses > APA Interval: which interval the APA text reports (its word).
inline const QString ApaReportInterval = QStringLiteral("apa/interval");
// Analyses > APA Coefficient Column: the last column of the APA coefficient
// table (its word: "ci" or "sr2").
inline const QString ApaCoefficientColumn = QStringLiteral("apa/coefficientColumn");

// Analyses > Effect Sizes: the robust covariance ("HC3" or "HC4"), and
// whether the modified interval follows it.
inline const QString EffectSizeCovariance = QStringLiteral("effectSizes/robust");
inline const QString EffectSizeModifiedFollowsRobust = QStringLiteral("effectSizes/modifiedFollowsRobust");

// The bootstrap dialog's "Add details to the report".
inline const QString BootstrapDetails = QStringLiteral("bootstrap/details");
// Whether the bootstrap windows add each model's coefficients to the report.
inline const QString BootstrapCoefficients = QStringLiteral("bootstrap/coefficients");

// The figure windows (frmDistribution, frmPowerCurve, on FigureWindow): the
// size preset, the custom width and height in millimetres, the resolution of
// the exports.
inline const QString FigureSize = QStringLiteral("figure/size");
inline const QString FigureWidth = QStringLiteral("figure/width");
inline const QString FigureHeight = QStringLiteral("figure/height");
inline const QString FigureResolution = QStringLiteral("figure/dpi");
// Whether a figure carries its caption. One choice for every figure window,
// on purpose: the distribution window and the power curve both read and keep
// this key, so a caption turned on in one is on in the other.
inline const QString FigureCaption = QStringLiteral("figure/caption");
// The distribution window's marks of the modified (Alf and Graf) interval.
inline const QString FigureAlfGraf = QStringLiteral("figure/alfGraf");

} // namespace orvalis::SettingsKeys
