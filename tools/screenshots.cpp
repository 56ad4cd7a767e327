// Saves pictures of the program's windows for the README and for review.
//
// Usage: orvalis_screenshots OUTPUT_DIR EXAMPLES_DIR
// Run it under a real X server (scripts/screenshots.sh starts Xvfb) so the
// pictures show the desktop's own fonts and style. It imports
// examples/study.txt, runs a bootstrap and a descriptives report, and saves
// main-window.png, splash.png, navigator.png, save-output.png, distribution.png, hierarchical.png,
// relative-importance.png, dominance.png, open-output.png, es-bootstrap.png and descriptives.png.
#include "platform/QtPlatform.h"
#include "ui/DirectoryList.h"
#include "ui/FileList.h"
#include "ui/frmDescriptives.h"
#include "ui/frmDominance.h"
#include "ui/frmDominanceFigure.h"
#include "ui/frmDistribution.h"
#include "ui/frmHierarchical.h"
#include "ui/frmModerationFigure.h"
#include "ui/frmESBootstrap.h"
#include "ui/frmMain.h"
#include "ui/frmNavigate.h"
#include "ui/frmOpenOutput.h"
#include "ui/frmSaveOutput.h"
#include "ui/frmSplash.h"

#include <QApplication>
#include <QDir>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>

namespace {

QString outputDir;
bool failed = false;

void save(QWidget& widget, const char* name)
{
    widget.show();
    widget.raise();
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
    const QString file = outputDir + QLatin1Char('/') + QLatin1String(name);
    if (!widget.grab().save(file)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(file));
        failed = true;
        return;
    }
    std::printf("%s\n", qPrintable(file));
}

void check(QListWidget* list, int item)
{
    list->item(item)->setCheckState(Qt::Checked);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: orvalis_screenshots OUTPUT_DIR EXAMPLES_DIR\n");
        return 2;
    }
    outputDir = QString::fromLocal8Bit(argv[1]);
    const QString examples = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir::setCurrent(examples);

    orvalis::QtPlatform platform;
    {
        orvalis::frmSplash splash;
        save(splash, "splash.png");
    }
    orvalis::frmMain window(platform);
    window.Form_Load(); // the two-second splash, then the main window with its file types
    while (!window.isVisible()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    auto* dirDirectory = window.findChild<orvalis::DirectoryList*>(QStringLiteral("dirDirectory"));
    auto* filFile = window.findChild<orvalis::FileList*>(QStringLiteral("filFile"));
    auto* cmdImportData = window.findChild<QPushButton*>(QStringLiteral("cmdImportData"));
    dirDirectory->setPath(examples);
    const auto found = filFile->findItems(QStringLiteral("study.txt"), Qt::MatchExactly);
    if (found.isEmpty()) {
        std::fprintf(stderr, "examples/study.txt not found\n");
        return 1;
    }
    filFile->setCurrentItem(found.front());
    window.filFile_Click(QStringLiteral("study.txt"));
    cmdImportData->click();
    // The import reads the file in the background.
    for (int wait = 0; wait < 600 && window.dataSet().NumVariables() == 0; ++wait) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    if (window.dataSet().NumVariables() == 0) {
        std::fprintf(stderr, "examples/study.txt was not imported\n");
        return 1;
    }

    {
        orvalis::frmESBootstrap dialog(platform, window.dataSet(), window.outputLog(), &window);
        check(dialog.lstDV, 0);
        check(dialog.lstPredictors, 1);
        check(dialog.lstPredictors, 2);
        check(dialog.lstAdded, 3);
        dialog.show();
        QEventLoop loop;
        bool finished = false;
        QObject::connect(&dialog, &orvalis::frmESBootstrap::runFinished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        dialog.cmdOK->click();
        if (!finished) {
            loop.exec();
        }
        save(dialog, "es-bootstrap.png");
        dialog.hide();
    }
    {
        // The distribution of a run with details (so that the BCa limits show too).
        orvalis::BootstrapRequest request;
        request.DependentVariable = 1;
        request.PredictorList = {2, 3};
        request.AddedList = {4};
        request.NumTrials = 2000;
        request.Details = true;
        const auto run = orvalis::RunBootstrap(request, window.dataSet(), 1);
        if (run.ok()) {
            orvalis::frmDistribution distribution(platform, *run, &window);
            save(distribution, "distribution.png");
            // The figure as it prints: one column, 300 dpi.
            failed = !distribution.plotDistribution->toImage(300).save(outputDir + "/figure.png") || failed;
        } else {
            failed = true;
        }
    }
    {
        // Three steps of the study's variables, after a run.
        orvalis::frmHierarchical dialog(platform, window.dataSet(), window.outputLog(), &window);
        dialog.cmbDependent->setCurrentIndex(0);
        for (const int variable : {1, 2}) {
            dialog.lstVariables->item(variable)->setSelected(true);
        }
        dialog.cmdAdd_Click();
        dialog.cmdNext_Click();
        dialog.lstVariables->item(3)->setSelected(true);
        dialog.cmdAdd_Click();
        dialog.cmdNext_Click();
        dialog.lstVariables->item(4)->setSelected(true);
        dialog.cmdAdd_Click();
        dialog.show();
        QEventLoop loop;
        QObject::connect(&dialog, &orvalis::frmHierarchical::runFinished, &loop, &QEventLoop::quit);
        dialog.cmdOK->click();
        if (dialog.running()) {
            loop.exec();
        }
        save(dialog, "hierarchical.png");
        dialog.hide();
    }
    {
        // The moderation figures of the study's second variable at its third, both centred.
        orvalis::HierarchicalRequest request;
        request.DependentVariable = 1;
        request.Steps = {{2, 3}, {}};
        request.Products = {{}, {{2, 3}}};
        request.Centred = {2, 3};
        request.Slopes = orvalis::SlopesRequest{2, 3, {}};
        request.NumTrials = 1000;
        const auto run = orvalis::RunHierarchical(request, window.dataSet(), 1);
        if (run.ok()) {
            orvalis::frmModerationFigure slopes(platform, *run, orvalis::ModerationFigureKind::SimpleSlopes, &window);
            save(slopes, "simple-slopes.png");
            orvalis::frmModerationFigure regions(platform, *run, orvalis::ModerationFigureKind::JohnsonNeyman, &window);
            save(regions, "johnson-neyman.png");
        } else {
            failed = true;
        }
    }
    {
        // The study's first variable against the next three, each a unit, after a run; then its figure.
        orvalis::frmDominance dialog(platform, window.dataSet(), window.outputLog(), &window);
        dialog.cmbDependent->setCurrentIndex(0);
        for (const int variable : {1, 2, 3}) {
            dialog.lstVariables->item(variable)->setSelected(true);
        }
        dialog.cmdAddUnit_Click();
        dialog.show();
        QEventLoop loop;
        QObject::connect(&dialog, &orvalis::frmDominance::runFinished, &loop, &QEventLoop::quit);
        dialog.cmdOK->click();
        if (dialog.running()) {
            loop.exec();
        }
        save(dialog, "relative-importance.png");
        dialog.hide();
        if (dialog.lastResult()) {
            orvalis::frmDominanceFigure figure(platform, *dialog.lastResult(), &window);
            save(figure, "dominance.png");
        } else {
            failed = true;
        }
    }
    {
        orvalis::frmDescriptives dialog(platform, window.dataSet(), window.outputLog(), &window);
        check(dialog.lstItems, 0);
        check(dialog.lstItems, 3);
        dialog.show();
        dialog.cmdOK->click();
        save(dialog, "descriptives.png");
        dialog.hide();
    }
    save(window, "main-window.png");
    {
        orvalis::frmNavigate navigator(window.dataSet(), &window);
        navigator.cmdRight->click();
        navigator.cmdDown->click();
        save(navigator, "navigator.png");
    }
    {
        orvalis::frmSaveOutput dialog(platform, window.outputLog(), &window);
        dialog.txtSavedFileName->setText(QStringLiteral("results"));
        save(dialog, "save-output.png");
    }
    {
        orvalis::frmOpenOutput dialog(platform, window.outputLog(), &window);
        save(dialog, "open-output.png");
    }
    return failed ? 1 : 0;
}
