// copyApaResults: the core's APA formatters, one clipboard entry with HTML and text.
#include "ui/ApaCopy.h"

#include "platform/Platform.h"
#include "ui/SettingsKeys.h"

#include <QSettings>

namespace orvalis {
namespace {

const QString Title = QStringLiteral("Copy APA Results");

QString fromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

IntervalKind apaIntervalSetting()
{
    const QString word = QSettings().value(SettingsKeys::ApaReportInterval).toString();
    return intervalNamed(word.toStdString()).value_or(IntervalKind::Traditional);
}

void setApaIntervalSetting(IntervalKind interval)
{
    QSettings().setValue(SettingsKeys::ApaReportInterval, QString::fromLatin1(intervalRow(interval).commandWord));
}

ApaCoefficientColumn apaCoefficientColumnSetting()
{
    const QString word = QSettings().value(SettingsKeys::ApaCoefficientColumn).toString();
    return apaCoefficientColumnNamed(word.toStdString()).value_or(ApaCoefficientColumn::Interval);
}

void setApaCoefficientColumnSetting(ApaCoefficientColumn column)
{
    QSettings().setValue(SettingsKeys::ApaCoefficientColumn, QString::fromLatin1(apaCoefficientColumnRow(column).word));
}

namespace {

// A pair's run, or a hierarchical one's last step, as the BCa check reads it.
const BootstrapResult& lastModel(const BootstrapResult& run)
{
    return run;
}

const BootstrapResult& lastModel(const HierarchicalResult& run)
{
    return run.steps.back();
}

template <typename Result>
void copyResults(Platform& platform, QWidget* parent, const std::optional<Result>& run, bool markdown)
{
    if (!run) {
        platform.warn(parent, QStringLiteral("There are no results to copy yet: run the bootstrap first."), Title);
        return;
    }
    const IntervalKind interval = apaIntervalSetting();
    // A kind only some runs compute (BCa with the details, Alf and Graf's with
    // the effect sizes) says how to get it; every run has the percentile ones.
    const IntervalRow& row = intervalRow(interval);
    if (lastModel(*run).interval(interval) == nullptr && *row.notComputed != '\0') {
        platform.warn(parent, QString::fromUtf8(row.notComputed), Title);
        return;
    }
    const ApaCoefficientColumn column = apaCoefficientColumnSetting();
    const QString html = QStringLiteral("<p>") + fromUtf8(FormatApaSentence(*run, interval)).toHtmlEscaped()
                         + QStringLiteral("</p>\n") + fromUtf8(FormatApaTableHtml(*run, interval, column));
    platform.setClipboardHtml(
        html, fromUtf8(FormatApaResults(*run, interval, markdown ? ApaForm::Markdown : ApaForm::Plain, column)));
}

} // namespace

void copyApaResults(Platform& platform, QWidget* parent, const std::optional<BootstrapResult>& run, bool markdown)
{
    copyResults(platform, parent, run, markdown);
}

void copyApaResults(Platform& platform, QWidget* parent, const std::optional<HierarchicalResult>& run, bool markdown)
{
    copyResults(platform, parent, run, markdown);
}

void copyApaResults(Platform& platform, QWidget* parent, const std::optional<DominanceResult>& run, bool markdown)
{
    if (!run) {
        platform.warn(parent, QStringLiteral("There are no results to copy yet: run the analysis first."), Title);
        return;
    }
    const QString html = QStringLiteral("<p>") + fromUtf8(FormatApaSentence(*run)).toHtmlEscaped()
                         + QStringLiteral("</p>\n") + fromUtf8(FormatApaTableHtml(*run));
    platform.setClipboardHtml(html, fromUtf8(FormatApaResults(*run, markdown ? ApaForm::Markdown : ApaForm::Plain)));
}

} // namespace orvalis
