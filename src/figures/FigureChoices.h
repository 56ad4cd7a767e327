// The choices a figure's export offers, without Qt: the journal sizes, the size limits, the PNG resolutions and the
// file types, shared by the figure windows and orvalis-cli's --figure options.
#pragma once

#include <optional>
#include <string>

namespace orvalis {

// A journal's printed size: its word on the command line, its caption in the
// window, and its millimetres. Journals take one column at 85 mm and two at 175 mm.
struct FigureSizePreset {
    const char* word;
    const char* caption;
    double widthMm;
    double heightMm;
};
inline constexpr FigureSizePreset FigureSizePresets[2] = {
    {"one-column", "One column (85 mm)", 85.0, 64.0},
    {"two-column", "Two columns (175 mm)", 175.0, 105.0},
};

// A custom size in whole millimetres: below 60 mm wide or 50 mm high the
// legend's 8-point text crowds the plot out.
inline constexpr double FigureLeastWidthMm = 60.0;
inline constexpr double FigureLeastHeightMm = 50.0;
inline constexpr double FigureMostMm = 300.0;

// A PNG's dots per inch, the first the default.
inline constexpr int FigureResolutions[2] = {300, 600};

// The figures of a hierarchical run's simple slopes, beside the distribution
// of its changes: the predicted dependent variable against the focal
// predictor, a line per slope; the focal slope across a numeric moderator
// with its confidence band and where it is significant.
enum class ModerationFigureKind { SimpleSlopes, JohnsonNeyman };

// The files a figure is written as.
enum class FigureFileType { Pdf, Png, Svg };

// The type a file's extension names (.pdf, .png or .svg, in any case); none
// for another extension or none.
inline std::optional<FigureFileType> figureFileType(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return std::nullopt;
    }
    std::string extension = path.substr(dot + 1);
    // ASCII letters only: no locale turns an I into another letter.
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (extension == "pdf") {
        return FigureFileType::Pdf;
    }
    if (extension == "png") {
        return FigureFileType::Png;
    }
    if (extension == "svg") {
        return FigureFileType::Svg;
    }
    return std::nullopt;
}

} // namespace orvalis
