// The data set's storage and its checked cell access.
#include "data/DataSet.h"

#include "common/RuntimeErrors.h"
#include "common/TextEscape.h"

#include <algorithm>

namespace orvalis {

DataSet::DataSet(std::int32_t numCases, std::int32_t storedColumns) : DataSet(numCases, storedColumns, Unfilled{})
{
    std::fill(cells(), cells() + m_cellCount, 0.0f);
}

DataSet::DataSet(std::int32_t numCases, std::int32_t storedColumns, Unfilled)
    : m_cellCount((static_cast<std::size_t>(numCases) + 1) * static_cast<std::size_t>(storedColumns)),
      m_numCases(numCases), m_storedColumns(storedColumns), m_hasStorage(true)
{
    // The pages stay untouched until the reading threads write them.
    m_cells = LargeBlock(m_cellCount * sizeof(float));
    std::fill(cells(), cells() + storedColumns, 0.0f); // row 0
}

float DataSet::DataTable(std::int32_t row, std::int32_t column) const
{
    if (!m_hasStorage) {
        throw SubscriptError("Subscript out of range: no data file has been imported.");
    }
    checkSubscript(row, 0, m_numCases, "row");
    checkSubscript(column, 0, MaxColumn, "column");
    if (column >= m_storedColumns) {
        return MissingValue;
    }
    return rowData(row)[column];
}

std::string variableNumber(std::int64_t v)
{
    return "Var " + std::to_string(v);
}

const std::string& DataSet::VariableName(std::int32_t v) const
{
    static const std::string none;
    return v >= 1 && static_cast<std::size_t>(v) < m_names.size() ? m_names[static_cast<std::size_t>(v)] : none;
}

std::string DataSet::variableCaption(std::int32_t v) const
{
    const std::string& name = VariableName(v);
    const std::string& label = variableLabel(v);
    return variableNumber(v) + (name.empty() ? std::string() : "  " + escapeControlCharacters(name))
           + (label.empty() ? std::string() : ": " + escapeControlCharacters(label));
}

namespace {

// Element v of a per-variable list, or a default when the list is shorter.
template <typename T>
const T& byVariable(const std::vector<T>& list, std::int32_t v)
{
    static const T none{};
    return v >= 1 && static_cast<std::size_t>(v) < list.size() ? list[static_cast<std::size_t>(v)] : none;
}

template <typename T>
void setByVariable(std::vector<T>& list, std::int32_t v, T value)
{
    if (v < 1 || v > DataSet::MaxColumn) {
        return;
    }
    if (list.size() <= static_cast<std::size_t>(v)) {
        list.resize(static_cast<std::size_t>(v) + 1);
    }
    list[static_cast<std::size_t>(v)] = std::move(value);
}

} // namespace

const std::string& DataSet::caseLabel(std::int32_t row) const
{
    static const std::string none;
    return row >= 1 && static_cast<std::size_t>(row) < m_caseLabels.size() ? m_caseLabels[static_cast<std::size_t>(row)]
                                                                           : none;
}

const std::vector<std::string>& DataSet::categories(std::int32_t v) const
{
    return byVariable(m_categories, v);
}

void DataSet::setCategories(std::int32_t v, std::vector<std::string> labels)
{
    setByVariable(m_categories, v, std::move(labels));
}

const std::string& DataSet::categoryLabel(std::int32_t row, std::int32_t v) const
{
    static const std::string none;
    const std::vector<std::string>& labels = categories(v);
    if (labels.empty() || !m_hasStorage || row < 1 || row > m_numCases) {
        return none;
    }
    const float code = DataTable(row, v);
    if (!(code >= 1.0f && code <= static_cast<float>(labels.size()))) {
        return none;
    }
    return labels[static_cast<std::size_t>(code) - 1];
}

const std::string& DataSet::variableLabel(std::int32_t v) const
{
    return byVariable(m_variableLabels, v);
}

void DataSet::setVariableLabel(std::int32_t v, std::string label)
{
    setByVariable(m_variableLabels, v, std::move(label));
}

const std::vector<std::pair<float, std::string>>& DataSet::valueLabels(std::int32_t v) const
{
    return byVariable(m_valueLabels, v);
}

void DataSet::setValueLabels(std::int32_t v, std::vector<std::pair<float, std::string>> labels)
{
    setByVariable(m_valueLabels, v, std::move(labels));
}

const std::string& DataSet::valueLabel(std::int32_t row, std::int32_t v) const
{
    static const std::string none;
    const auto& labels = valueLabels(v);
    if (labels.empty() || !m_hasStorage || row < 1 || row > m_numCases) {
        return none;
    }
    const float value = DataTable(row, v);
    for (const auto& [labelled, label] : labels) {
        if (labelled == value) {
            return label;
        }
    }
    return none;
}

std::vector<std::int32_t> DataSet::variablesNamed(std::string_view name) const
{
    std::vector<std::int32_t> found;
    for (std::int32_t v = 1; v <= m_numVariables; ++v) {
        if (!name.empty() && VariableName(v) == name) {
            found.push_back(v);
        }
    }
    return found;
}

std::vector<std::int32_t> DataSet::imputationVariables() const
{
    auto sameLetters = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
                   return lower(x) == lower(y);
               });
    };
    std::vector<std::int32_t> found;
    for (std::int32_t v = 1; v <= m_numVariables; ++v) {
        for (const std::string_view name : {".imp", "Imputation_", "_mi_m"}) {
            if (sameLetters(VariableName(v), name)) {
                found.push_back(v);
            }
        }
    }
    return found;
}

} // namespace orvalis
