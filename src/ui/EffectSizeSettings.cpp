// The effect-size settings in QSettings.
#include "ui/EffectSizeSettings.h"

#include "ui/ApaCopy.h"
#include "ui/SettingsKeys.h"

#include <QSettings>

namespace orvalis {

CompanionRequest companionSetting()
{
    const QSettings settings;
    CompanionRequest request;
    request.covariance = settings.value(SettingsKeys::EffectSizeCovariance).toString() == "HC4" ? RobustCovariance::HC4
                                                                                                : RobustCovariance::HC3;
    request.modifiedFollowsRobust = settings.value(SettingsKeys::EffectSizeModifiedFollowsRobust, false).toBool();
    return request;
}

void setCompanionSetting(const CompanionRequest& request)
{
    QSettings settings;
    settings.setValue(SettingsKeys::EffectSizeCovariance,
                      QString::fromLatin1(robustCovarianceName(request.covariance)));
    settings.setValue(SettingsKeys::EffectSizeModifiedFollowsRobust, request.modifiedFollowsRobust);
}

std::optional<CompanionRequest> windowCompanions(bool details)
{
    const CompanionRequest request = companionSetting();
    if (details || request.modifiedFollowsRobust || intervalRow(apaIntervalSetting()).needs == IntervalNeeds::EffectSizes) {
        return request;
    }
    return std::nullopt;
}

bool showsCompanionBlock(const BootstrapRequest& request)
{
    return request.Companions && (request.Details || request.Companions->modifiedFollowsRobust);
}

} // namespace orvalis
