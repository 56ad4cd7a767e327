// The rows of the interval kinds.
#include "analyses/IntervalCatalogue.h"

#include <algorithm>
#include <stdexcept>

namespace orvalis {

const std::vector<IntervalRow>& intervalCatalogue()
{
    static const std::vector<IntervalRow> rows = {
        {IntervalKind::Traditional, "Traditional", true, "traditional", "percentile", "percentile", "&Percentile",
         "percentile bootstrap", true, "{level}% percentile CI {limits}",
         "Dashed lines: {level}% percentile bootstrap confidence limits {limits}.",
         PlotMarker{PlotLine::Dash, 0x0072b2, false, false}, IntervalNeeds::Run, ""},
        {IntervalKind::Modified, "Modified", true, "modified", "modified", "modified", "&Modified",
         "modified percentile bootstrap", true, "Modified lower limit 0 ({test} not significant)",
         "Dash-dotted line: the modified lower limit, 0, since {test-name} of the added predictors was not "
         "significant at \u03b1 = {alpha}.",
         PlotMarker{PlotLine::DashDot, 0xd55e00, true, false}, IntervalNeeds::Run, ""},
        {IntervalKind::BCa, "BCa", false, "bca", "bca", "bca", "&BCa", "bias-corrected and accelerated bootstrap", true,
         "BCa {limits}", "Dotted lines: bias-corrected and accelerated (BCa) limits {limits}.",
         PlotMarker{PlotLine::Dot, 0x009e73, false, false}, IntervalNeeds::Details,
         "The BCa interval is computed with the details: check \"Add details to the report\" and run the bootstrap "
         "again, or choose another APA interval."},
        {IntervalKind::AlfGraf, "Alf and Graf", false, nullptr, "alf_graf", "alf-graf", "&Alf and Graf",
         "Alf and Graf's large-sample method", false, "Alf\u2013Graf CI {limits}",
         "Dash-dot-dotted lines: Alf and Graf's large-sample {level}% confidence limits {limits}.",
         PlotMarker{PlotLine::DashDotDot, 0xcc79a7, false, true}, IntervalNeeds::EffectSizes,
         "Alf and Graf's interval is computed with the effect sizes, which this run did not compute: run the "
         "bootstrap again (the APA interval is kept), or choose another APA interval."},
        {IntervalKind::NoncentralF, "Exact", false, nullptr, "noncentral_f", nullptr, nullptr, nullptr, false, "", "",
         PlotMarker{}, IntervalNeeds::EffectSizes, ""},
    };
    return rows;
}

const IntervalRow& intervalRow(IntervalKind kind)
{
    for (const IntervalRow& row : intervalCatalogue()) {
        if (row.kind == kind) {
            return row;
        }
    }
    throw std::logic_error("an interval kind without its row");
}

std::vector<IntervalKind> apaIntervalKinds()
{
    std::vector<IntervalKind> kinds;
    for (const IntervalRow& row : intervalCatalogue()) {
        if (row.commandWord != nullptr) {
            kinds.push_back(row.kind);
        }
    }
    return kinds;
}

std::optional<IntervalKind> intervalNamed(std::string_view commandWord)
{
    for (const IntervalRow& row : intervalCatalogue()) {
        if (row.commandWord != nullptr && commandWord == row.commandWord) {
            return row.kind;
        }
    }
    return std::nullopt;
}

std::string intervalWordsText()
{
    const std::vector<IntervalKind> kinds = apaIntervalKinds();
    std::string text;
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        if (k > 0) {
            text += k + 1 == kinds.size() ? " or " : ", ";
        }
        text += intervalRow(kinds[k]).commandWord;
    }
    return text;
}

std::string fillIntervalText(std::string_view text, const IntervalWords& words)
{
    const std::pair<std::string_view, const std::string*> fields[] = {{"{level}", &words.level},
                                                                      {"{limits}", &words.limits},
                                                                      {"{test}", &words.test},
                                                                      {"{test-name}", &words.testName},
                                                                      {"{alpha}", &words.alpha}};
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('{', at);
        if (open == std::string_view::npos) {
            break;
        }
        out += text.substr(at, open - at);
        const auto field = std::find_if(std::begin(fields), std::end(fields),
                                        [&](const auto& f) { return text.substr(open, f.first.size()) == f.first; });
        if (field == std::end(fields)) {
            out += '{';
            at = open + 1;
        } else {
            out += *field->second;
            at = open + field->first.size();
        }
    }
    out += text.substr(std::min(at, text.size()));
    return out;
}

} // namespace orvalis
