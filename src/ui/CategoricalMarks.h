// CategoricalMarks: which predictors of an analysis window enter as categorical, their reference categories, and
// how the window's lists name them; shared by the windows that build models of predictors.
#pragma once

#include "data/CategoricalView.h"

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;

namespace orvalis {

class DataSet;

class CategoricalMarks {
public:
    explicit CategoricalMarks(const DataSet& dataSet) : m_dataSet(dataSet) {}

    // Each categorical predictor's reference category (1-based); the first where none is.
    std::map<std::int32_t, std::int32_t> reference;
    // The numeric predictors marked Categorical, each with its categories.
    std::map<std::int32_t, CategoricalView> declared;

    // "Var 5 (Species)", with ": 3 categories" for a categorical one.
    QString variableCaption(std::int32_t v) const;
    // A categorical predictor's category labels (a text variable's, or a declared one's); empty for a number.
    std::vector<std::string> categoryLabels(std::int32_t v) const;
    // The caption and, for a categorical predictor, " (reference: setosa)".
    QString captionWithReference(std::int32_t v) const;
    // Marks v categorical; false, with the warning's text in why, when it has too many values to be codes.
    bool declare(std::int32_t v, std::string& why);
    // Takes the mark and the reference category off v.
    void forget(std::int32_t v);
    std::set<std::int32_t> declaredSet() const;
    // Shows the marks of the selected predictor (none: nothing selected): the
    // Categorical box checked for a text or declared one and enabled for a
    // number of two values or more; its categories in referenceBox, the
    // reference chosen.
    void show(std::optional<std::int32_t> selected, QCheckBox* categorical, QComboBox* referenceBox) const;

private:
    const DataSet& m_dataSet;
};

} // namespace orvalis
