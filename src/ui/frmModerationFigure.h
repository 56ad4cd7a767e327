// frmModerationFigure: the simple slopes or the Johnson-Neyman figure of a hierarchical run, with the figure windows'
// sizes and exports.
#pragma once

#include "analyses/Hierarchical.h"
#include "figures/ModerationFigures.h"
#include "ui/FigureWidget.h"
#include "ui/FigureWindow.h"

#include <memory>

class QCheckBox;

namespace orvalis {

// A moderation figure (ModerationFigure) as a widget, shown as it will print
// and exported by the same drawing orvalis-cli's --figure writes.
class ModerationPlot : public FigureWidget {
    Q_OBJECT
public:
    // drawing: the figure (a null one draws nothing but the page).
    ModerationPlot(std::unique_ptr<ModerationFigure> drawing, ModerationFigureKind kind, QWidget* parent = nullptr);

    // The drawing, which the exports and the screen share; null for a run without the figure.
    const ModerationFigure* drawing() const { return m_drawing.get(); }
    void paintFigure(QPainter& painter) const override;

protected:
    void figureChanged(const FigureSpec& before) override;
    QString description() const override;

private:
    std::unique_ptr<ModerationFigure> m_drawing;
};

// Shows a run's simple slopes (the predicted dependent variable against the
// focal predictor, a line per moderator value) or the focal slope across a
// numeric moderator with its band and Johnson-Neyman regions; saves it as
// PNG, SVG or PDF, its plotted values as CSV, copies the picture. The caption
// choice is the one every figure window shares.
class frmModerationFigure : public FigureWindow {
    Q_OBJECT
public:
    // result: a run with simple slopes (and a numeric moderator for the
    // Johnson-Neyman figure: see refusal); dataFile: the imported data file,
    // which no export may replace.
    frmModerationFigure(Platform& platform, const HierarchicalResult& result, ModerationFigureKind kind,
                        QWidget* parent, QString dataFile = {});

    // Shows the window of the figure modally; or, when the run cannot have that
    // figure, says why in a warning and shows nothing.
    static void showFor(Platform& platform, const HierarchicalResult& result, ModerationFigureKind kind,
                        QWidget* parent, const QString& dataFile = {});
    // Why the run has no such figure (the warning's text); empty when it has one.
    static QString refusal(const HierarchicalResult& result, ModerationFigureKind kind);

    ModerationPlot* plotModeration = nullptr;
    QCheckBox* chkCaption = nullptr;

protected:
    QByteArray csvBytes() const override;
    void adjustFigure(FigureSpec& figure) const override;
    void keepChoices(QSettings& settings) const override;

private:
    ModerationFigureKind m_kind;
    ModerationResult m_moderation;
};

} // namespace orvalis
