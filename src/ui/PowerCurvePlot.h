// PowerCurvePlot: the power of the F test against the sample size, as a figure.
#pragma once

#include "analyses/Planning.h"
#include "ui/FigureWidget.h"

#include <optional>
#include <vector>

namespace orvalis {

class PowerCurvePlot : public FigureWidget {
    Q_OBJECT
public:
    // points: the curve, ascending in N; target: a power drawn as a dashed
    // line across (none: no line); marked: an N drawn as a dotted line up.
    PowerCurvePlot(const PowerQuestion& question, std::vector<PowerAnswer> points, std::optional<double> target,
                   std::optional<std::int32_t> marked, QWidget* parent = nullptr);

    const std::vector<PowerAnswer>& points() const { return m_points; }
    // "p = 3, q = 2, f² = .067, α = .05; λ = f² N (G*Power)".
    QString caption() const { return m_caption; }
    void paintFigure(QPainter& painter) const override;

protected:
    QString description() const override { return m_caption; }

private:
    std::vector<PowerAnswer> m_points;
    std::optional<double> m_target;
    std::optional<std::int32_t> m_marked;
    QString m_caption;
};

} // namespace orvalis
