// The effect-size settings in QSettings.
#include "ui/EffectSizeSettings.h"

#include "ui/ApaCopy.h"
#include "ui/SettingsKeys.h"

#include <QSettings>

namespace orvalis {

EffectSizeRequest effectSizeSetting()
{
    const QSettings settings;
    EffectSizeRequest request;
    request.covariance = settings.value(SettingsKeys::EffectSizeCovariance).toString() == "HC4" ? RobustCovariance::HC4
                                                                                                : RobustCovariance::HC3;
    request.modifiedFollowsRobust = settings.value(SettingsKeys::EffectSizeModifiedFollowsRobust, false).toBool();
    return request;
}

void setEffectSizeSetting(const EffectSizeRequest& request)
{
    QSettings settings;
    settings.setValue(SettingsKeys::EffectSizeCovariance,
                      QString::fromLatin1(robustCovarianceName(request.covariance)));
    settings.setValue(SettingsKeys::EffectSizeModifiedFollowsRobust, request.modifiedFollowsRobust);
}

std::optional<EffectSizeRequest> windowEffectSizes(bool details)
{
    const EffectSizeRequest request = effectSizeSetting();
    if (details || request.modifiedFollowsRobust
        || intervalRow(apaIntervalSetting()).needs == IntervalNeeds::EffectSizes) {
        return request;
    }
    return std::nullopt;
}

bool showsEffectSizeBlock(const BootstrapRequest& request)
{
    return request.EffectSizes && (request.Details || request.EffectSizes->modifiedFollowsRobust);
}

} // namespace orvalis
