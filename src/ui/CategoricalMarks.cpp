// CategoricalMarks: the categorical declarations and reference categories of a window's predictors.
#include "ui/CategoricalMarks.h"

#include "analyses/PredictorColumns.h"
#include "analyses/RequestCheck.h"
#include "data/DataSet.h"

#include <QCheckBox>
#include <QComboBox>

namespace orvalis {

QString CategoricalMarks::variableCaption(std::int32_t v) const
{
    const std::string& name = m_dataSet.VariableName(v);
    QString caption = QString::fromStdString(variableNumber(v));
    if (!name.empty()) {
        caption += QStringLiteral(" (") + QString::fromStdString(name) + QStringLiteral(")");
    }
    if (const std::vector<std::string> categories = categoryLabels(v); !categories.empty()) {
        caption += QStringLiteral(": %1 categories").arg(categories.size());
    }
    return caption;
}

std::vector<std::string> CategoricalMarks::categoryLabels(std::int32_t v) const
{
    const auto found = declared.find(v);
    return found != declared.end() ? found->second.labels : m_dataSet.categories(v);
}

QString CategoricalMarks::captionWithReference(std::int32_t v) const
{
    QString caption = variableCaption(v);
    if (const std::vector<std::string> categories = categoryLabels(v); !categories.empty()) {
        const std::int32_t chosen = referenceCategory(reference, v);
        if (chosen >= 1 && chosen <= static_cast<std::int32_t>(categories.size())) {
            caption += QStringLiteral(" (reference: %1)")
                           .arg(QString::fromStdString(categories[static_cast<std::size_t>(chosen - 1)]));
        }
    }
    return caption;
}

bool CategoricalMarks::declare(std::int32_t v, std::string& why)
{
    CategoricalView view = categoricalView(m_dataSet, v, static_cast<std::size_t>(MaxCategories));
    if (view.size() > static_cast<std::size_t>(MaxCategories)) {
        // The view stopped counting past the limit: the variable is no set of codes.
        why = namedVariable(v, m_dataSet) + " has more than " + std::to_string(MaxCategories)
              + " different values; a categorical predictor has at most " + std::to_string(MaxCategories)
              + " categories.";
        return false;
    }
    declared[v] = std::move(view);
    return true;
}

void CategoricalMarks::forget(std::int32_t v)
{
    declared.erase(v);
    reference.erase(v);
}

std::set<std::int32_t> CategoricalMarks::declaredSet() const
{
    std::set<std::int32_t> variables;
    for (const auto& [v, view] : declared) {
        variables.insert(v);
    }
    return variables;
}

void CategoricalMarks::show(std::optional<std::int32_t> selected, QCheckBox* categorical, QComboBox* referenceBox) const
{
    referenceBox->clear();
    const std::int32_t v = selected.value_or(0);
    // A text variable is categorical already; a numeric one of two values or more may be marked.
    const bool text = selected && m_dataSet.isCategorical(v);
    categorical->setChecked(text || declared.contains(v));
    categorical->setEnabled(selected && !text && categoricalView(m_dataSet, v, 1).size() > 1);
    const std::vector<std::string> labels = selected ? categoryLabels(v) : std::vector<std::string>();
    referenceBox->setEnabled(!labels.empty());
    for (const std::string& label : labels) {
        referenceBox->addItem(QString::fromStdString(label));
    }
    if (!labels.empty()) {
        referenceBox->setCurrentIndex(referenceCategory(reference, v) - 1);
    }
}

} // namespace orvalis
