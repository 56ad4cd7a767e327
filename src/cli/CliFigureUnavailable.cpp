// orvalis-cli's --figure in a build without Qt: refused before any work (CliApp checks figuresAvailable).
#include "cli/CliFigure.h"

namespace orvalis::cli {

bool figuresAvailable()
{
    return false;
}

Status writeDistributionFigure(const BootstrapResult&, const FigureRequest&, const std::string&)
{
    return Refusal{"this orvalis-cli was built without Qt, which draws figures", {}, Refusal::Reason::Refused};
}

Status writeModerationFigure(const HierarchicalResult&, const FigureRequest&, const std::string&)
{
    return Refusal{"this orvalis-cli was built without Qt, which draws figures", {}, Refusal::Reason::Refused};
}

Status writeDominanceFigure(const DominanceResult&, const FigureRequest&, const std::string&)
{
    return Refusal{"this orvalis-cli was built without Qt, which draws figures", {}, Refusal::Reason::Refused};
}

} // namespace orvalis::cli
