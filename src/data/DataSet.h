// The data set: the table of single-precision values the import fills and every analysis reads.
#pragma once

#include "common/FileHash.h"
#include "common/MissingValue.h"
#include "common/SystemMemory.h"
#include "data/Delimiter.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvalis {

// How every message and list writes variable v: "Var 7". (The bootstrap
// report's table heads write "Var7"; that layout is the report's own.)
std::string variableNumber(std::int64_t v);

// One imported data set. Rows 0..NumCases() are cases (row 0 unused), columns
// 0..1000 are variables (column 0 unused). Only the columns a file uses are
// stored; a column beyond them reads as missing, exactly as a cell that a
// short or empty line leaves unfilled does.
// A default-constructed DataSet has no storage: reading a cell of it throws.
class DataSet {
public:
    // The largest column index (the table holds at most 1000 variables).
    static constexpr std::int32_t MaxColumn = 1000;

    DataSet() = default;
    // A zero-filled table of rows 0..numCases and columns 0..storedColumns-1
    // (storedColumns at least 1, at most MaxColumn + 1). Throws std::bad_alloc.
    DataSet(std::int32_t numCases, std::int32_t storedColumns);
    // The same table with only row 0 zero-filled: the caller writes every cell
    // of rows 1..numCases before anything reads them.
    struct Unfilled {};
    DataSet(std::int32_t numCases, std::int32_t storedColumns, Unfilled);

    std::int32_t NumCases() const { return m_numCases; }
    std::int32_t NumVariables() const { return m_numVariables; }
    void setNumVariables(std::int32_t count) { m_numVariables = count; }

    // False until an import has allocated the table.
    bool hasStorage() const { return m_hasStorage; }
    // Columns held per row (1 + the widest line's field count).
    std::int32_t storedColumns() const { return m_storedColumns; }

    // DataTable[row][column]. Throws SubscriptError when the table has no
    // storage, row is outside 0..NumCases() or column outside 0..1000.
    float DataTable(std::int32_t row, std::int32_t column) const;

    // The names of the file's first line, when it held names: VariableNames()[v]
    // is variable v's name (index 0 unused; a name may be empty, and the line
    // may name fewer or more variables than there are). Empty without a names line.
    const std::vector<std::string>& VariableNames() const { return m_names; }
    bool hasNamesLine() const { return !m_names.empty(); }
    void setVariableNames(std::vector<std::string> names) { m_names = std::move(names); }
    // Variable v's name, or the empty text when it has none.
    const std::string& VariableName(std::int32_t v) const;
    // How the windows list variable v: "Var 1", or "Var 1  Fertility" when it
    // has a name, "Var 2  anx: Anxiety score" when it has a label too
    // (control characters escaped, as everywhere a name is shown).
    std::string variableCaption(std::int32_t v) const;
    // The variables 1..NumVariables whose name is exactly name, in order.
    std::vector<std::int32_t> variablesNamed(std::string_view name) const;
    // The variables 1..NumVariables named as programs name the number of the
    // imputation in a file of imputed data sets stacked one under another:
    // ".imp" (R's mice, complete(imp, "long")), "Imputation_" (SPSS), "_mi_m"
    // (Stata), in any case. Such a file holds each case once per imputation,
    // which an analysis of all rows as one sample does not allow for.
    std::vector<std::int32_t> imputationVariables() const;

    // Case labels, from a first column of row names as R writes them:
    // caseLabels()[row] labels case row (index 0 unused). Empty when the file
    // had none.
    const std::vector<std::string>& caseLabels() const { return m_caseLabels; }
    bool hasCaseLabels() const { return !m_caseLabels.empty(); }
    void setCaseLabels(std::vector<std::string> labels) { m_caseLabels = std::move(labels); }
    // Case row's label, or the empty text.
    const std::string& caseLabel(std::int32_t row) const;

    // A categorical variable's cells hold the codes 1..k of its categories;
    // categories(v)[k - 1] is the label of code k (UTF-8). Empty for a
    // numeric variable.
    const std::vector<std::string>& categories(std::int32_t v) const;
    bool isCategorical(std::int32_t v) const { return !categories(v).empty(); }
    void setCategories(std::int32_t v, std::vector<std::string> labels);
    // How cell (row, v) reads: a category's label for a categorical variable
    // with a code in its cell, otherwise the empty text.
    const std::string& categoryLabel(std::int32_t row, std::int32_t v) const;

    // A variable's label, as statistical packages keep one beside the name
    // ("Anxiety score"); empty when it has none.
    const std::string& variableLabel(std::int32_t v) const;
    void setVariableLabel(std::int32_t v, std::string label);
    // A numeric variable's value labels (value, label), as SPSS and Stata keep
    // them; the cells keep their values. Empty when it has none.
    const std::vector<std::pair<float, std::string>>& valueLabels(std::int32_t v) const;
    void setValueLabels(std::int32_t v, std::vector<std::pair<float, std::string>> labels);
    // The label of cell (row, v)'s value, or the empty text.
    const std::string& valueLabel(std::int32_t row, std::int32_t v) const;

    // The kind of file the data came from, for the summary's first line
    // ("SPSS file"); empty for a delimited text file.
    const std::string& fileKind() const { return m_fileKind; }
    void setFileKind(std::string kind) { m_fileKind = std::move(kind); }
    // Lines the import summary adds about how the file was read ("Var 5
    // (born): dates, read as their numbers ...").
    const std::vector<std::string>& importNotes() const { return m_importNotes; }
    void addImportNote(std::string note) { m_importNotes.push_back(std::move(note)); }

    // The delimiter the import found in the file, when it was asked to detect it.
    std::optional<Delimiter> detectedDelimiter() const { return m_detectedDelimiter; }
    void setDetectedDelimiter(Delimiter delimiter) { m_detectedDelimiter = delimiter; }
    // The identity of the regular file the table was read from, as it was
    // read (none for a pipe, for bytes, or where the reader does not say):
    // the record checks it before naming the file by its SHA-256.
    const std::optional<FileIdentity>& sourceIdentity() const { return m_sourceIdentity; }
    void setSourceIdentity(const FileIdentity& identity) { m_sourceIdentity = identity; }

    // Direct access for the import and fast readers: storedColumns() floats.
    float* rowData(std::int32_t row) { return cells() + static_cast<std::size_t>(row) * stride(); }
    const float* rowData(std::int32_t row) const { return cells() + static_cast<std::size_t>(row) * stride(); }

private:
    std::size_t stride() const { return static_cast<std::size_t>(m_storedColumns); }

    float* cells() const { return reinterpret_cast<float*>(m_cells.data()); }

    LargeBlock m_cells; // untouched until the import writes it
    std::size_t m_cellCount = 0;
    std::vector<std::string> m_names;
    std::vector<std::string> m_caseLabels;
    std::vector<std::vector<std::string>> m_categories; // by variable; empty when none is categorical
    std::optional<Delimiter> m_detectedDelimiter;
    std::optional<FileIdentity> m_sourceIdentity;
    std::vector<std::string> m_variableLabels;                             // by variable
    std::vector<std::vector<std::pair<float, std::string>>> m_valueLabels; // by variable
    std::string m_fileKind;
    std::vector<std::string> m_importNotes;
    std::int32_t m_numCases = 0;
    std::int32_t m_numVariables = 0;
    std::int32_t m_storedColumns = 0;
    bool m_hasStorage = false;
};

} // namespace orvalis
