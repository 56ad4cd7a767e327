// FormatImportSummary: the lines the import appends to the output log.
#include "data/DataImport.h"

#include "common/NumberText.h"
#include "common/TextEscape.h"

#include <optional>
#include <string>
#include <vector>

namespace orvalis {

std::string FormatImportSummary(std::string_view fileName, const DataSet& dataSet)
{
    std::string text;
    text += "Opened the " + (dataSet.fileKind().empty() ? std::string("text file") : dataSet.fileKind()) + ": ";
    text += escapeControlCharacters(fileName);
    text += "\r\nNumber of Cases: ";
    text += formatInteger(dataSet.NumCases());
    text += "\r\nNumber of Variables: ";
    text += formatInteger(dataSet.NumVariables());
    if (dataSet.hasNamesLine()) {
        // A binary file names its variables itself; a text file's first line may.
        text += dataSet.fileKind().empty() ? "\r\nThe first line was read as variable names: " : "\r\nVariable names: ";
        const std::vector<std::string>& names = dataSet.VariableNames();
        for (std::size_t v = 1; v < names.size(); ++v) {
            text += v > 1 ? ", " : "";
            text += names[v].empty() ? std::string("(none)") : escapeControlCharacters(names[v]);
        }
    }
    if (const std::optional<Delimiter> detected = dataSet.detectedDelimiter()) {
        text += "\r\nDelimiter: ";
        text += delimiterInfo(*detected).word;
        text += " (detected)";
    }
    if (dataSet.hasCaseLabels()) {
        text += "\r\nThe first column was read as case labels.";
    }
    for (std::int32_t v = 1; v <= dataSet.NumVariables(); ++v) {
        if (!dataSet.variableLabel(v).empty()) {
            const std::string& name = dataSet.VariableName(v);
            text += "\r\n" + variableNumber(v) + (name.empty() ? "" : " (" + escapeControlCharacters(name) + ")") + ": "
                    + escapeControlCharacters(dataSet.variableLabel(v));
        }
    }
    for (std::int32_t v = 1; v <= dataSet.NumVariables(); ++v) {
        if (dataSet.isCategorical(v)) {
            const std::string& name = dataSet.VariableName(v);
            text += "\r\n" + variableNumber(v) + (name.empty() ? "" : " (" + escapeControlCharacters(name) + ")")
                    + ": text, " + formatInteger(static_cast<std::int64_t>(dataSet.categories(v).size()))
                    + (dataSet.categories(v).size() == 1 ? " category" : " categories");
        }
    }
    // Numbers that carry value labels (the codes of SPSS or Stata categories)
    // enter a model as amounts unless the user declares them categorical.
    std::string labelled;
    for (std::int32_t v = 1; v <= dataSet.NumVariables(); ++v) {
        if (!dataSet.isCategorical(v) && !dataSet.valueLabels(v).empty()) {
            const std::string& name = dataSet.VariableName(v);
            labelled += labelled.empty() ? "" : ", ";
            labelled += name.empty() ? variableNumber(v) : escapeControlCharacters(name);
        }
    }
    if (!labelled.empty()) {
        text += "\r\nValue labels on numbers: " + labelled
                + ". A model takes each as one number unless it is declared categorical (--categorical, or the "
                  "Categorical mark in the hierarchical window).";
    }
    for (const std::string& note : dataSet.importNotes()) {
        text += "\r\n" + escapeControlCharacters(note);
    }
    for (const std::int32_t v : dataSet.imputationVariables()) {
        text += "\r\n" + variableNumber(v) + " (" + escapeControlCharacters(dataSet.VariableName(v))
                + "): looks like the number of an imputation. The analyses take all rows as one sample, so their "
                  "limits would be too narrow: pool imputed data sets elsewhere.";
    }
    text += "\r\n\r\n\r\n";
    return text;
}

} // namespace orvalis
