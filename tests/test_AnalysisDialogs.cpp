// The two analysis dialogs driven through their controls.
#include "FakePlatform.h"
#include "TestData.h"
#include "cli/CliApp.h"
#include "data/DataImport.h"
#include "formats/FileFormats.h"
#include "ui/OutputLog.h"
#include "ui/frmDescriptives.h"
#include "ui/frmESBootstrap.h"
#include "ui/ApaCopy.h"
#include "ui/DistributionPlot.h"
#include "ui/EffectSizeSettings.h"
#include "ui/frmDistribution.h"
#include "ui/frmPlan.h"
#include "ui/frmPowerCurve.h"
#include "ui/frmDominance.h"
#include "ui/frmDominanceFigure.h"
#include "ui/frmHierarchical.h"
#include "ui/frmModerationFigure.h"
#include "ui/frmNavigate.h"
#include "ui/ElidedLabel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QProgressBar>
#include <QTabWidget>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <set>

#include <functional>
#include <memory>
#include <random>
#include <sstream>

namespace orvalis {
namespace {

using test::dataOf;

void check(QListWidget* list, int item, bool checked = true)
{
    list->item(item)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

std::vector<int> checkedItems(const QListWidget* list)
{
    std::vector<int> items;
    for (int k = 0; k < list->count(); ++k) {
        if (list->item(k)->checkState() == Qt::Checked) {
            items.push_back(k);
        }
    }
    return items;
}

class DialogTest : public ::testing::Test {
protected:
    std::unique_ptr<QPlainTextEdit> box{OutputLog::createTextBox(nullptr)};
    OutputLog log{box.get()};
    test::FakePlatform platform;
};

TEST_F(DialogTest, DescriptivesRangeFill)
{
    const DataSet data = dataOf("1 2 3 4 5 6 7 8\n");
    frmDescriptives dialog(platform, data, log, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Descriptives");
    EXPECT_EQ(dialog.lstItems->count(), 8);
    EXPECT_EQ(dialog.lstItems->item(0)->text(), "Var 1");
    EXPECT_TRUE(dialog.optRanges->isChecked());
    EXPECT_EQ(dialog.optIndividual->text(), "Individiual Items");
    EXPECT_FALSE(dialog.cmdOK->autoDefault());
    EXPECT_FALSE(dialog.cmdCancel->autoDefault());

    check(dialog.lstItems, 3); // nothing checked above: nothing filled
    EXPECT_EQ(checkedItems(dialog.lstItems), std::vector<int>({3}));
    check(dialog.lstItems, 3, false);
    check(dialog.lstItems, 0); // item 0 never fills
    check(dialog.lstItems, 0, false);

    check(dialog.lstItems, 2);
    check(dialog.lstItems, 6);
    EXPECT_EQ(checkedItems(dialog.lstItems), std::vector<int>({2, 3, 4, 5, 6}));
    check(dialog.lstItems, 4, false); // unchecking changes nothing else
    EXPECT_EQ(checkedItems(dialog.lstItems), std::vector<int>({2, 3, 5, 6}));

    dialog.optIndividual->setChecked(true);
    check(dialog.lstItems, 7);
    check(dialog.lstItems, 0);
    check(dialog.lstItems, 4);
    EXPECT_EQ(checkedItems(dialog.lstItems), std::vector<int>({0, 2, 3, 4, 5, 6, 7}));
}

TEST_F(DialogTest, DescriptivesOk)
{
    const DataSet data = dataOf("1 0 12.25 .\n2 0 . .\n3 0 . .\n4 0 . .\n5 0 . .\n");
    frmDescriptives dialog(platform, data, log, nullptr);
    dialog.show();
    dialog.cmdOK->click();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "At least one item must be selected.");
    EXPECT_EQ(platform.messages[0].title, "Analysis Error");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(log.readAll(), "");

    dialog.optIndividual->setChecked(true);
    check(dialog.lstItems, 3);
    check(dialog.lstItems, 0);
    dialog.cmdOK->click();
    EXPECT_FALSE(dialog.isVisible());
    const QString block = log.readAll();
    EXPECT_TRUE(block.startsWith("DESCRIPTIVES\r\n"));
    EXPECT_TRUE(block.contains("\r\nVar 1              3     1.581         1         5         5\r\n"
                               "Var 4              .         .         .         .         0\r\n"));
    // A second run appends a second block right after the first.
    dialog.cmdOK->click();
    EXPECT_EQ(log.readAll(), block + block);
}

// Clicks OK and waits for the run to end.
void runOk(frmESBootstrap& dialog)
{
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&dialog, &frmESBootstrap::runFinished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    dialog.cmdOK->click();
    if (dialog.running()) {
        // While the run goes on, its trial counter stays readable.
        EXPECT_TRUE(dialog.txtTrial->isEnabled());
        EXPECT_FALSE(dialog.cmdOK->isEnabled());
    }
    // A request refused before any run (a bad seed) leaves OK enabled.
    if (!finished && dialog.cmdOK->isEnabled()) {
        return;
    }
    // The end of the run arrives through the event loop, even when the run was quick.
    if (!finished) {
        loop.exec();
    }
    ASSERT_TRUE(finished);
}

// The model of the README's example: Var1 on Var2 and Var3, adding Var4.
void checkStudyModel(frmESBootstrap& dialog)
{
    check(dialog.lstDV, 0);
    check(dialog.lstPredictors, 1);
    check(dialog.lstPredictors, 2);
    check(dialog.lstAdded, 3);
}

DataSet studyData()
{
    ImportOutcome outcome = ImportDataFile(std::string(ORVALIS_EXAMPLES_DIR) + "/study.txt", Delimiter::Space);
    return std::move(*outcome);
}

// A long run (n = 300,000) is stopped by Cancel, Escape or the close box: the
// dialog stays open with its choices, the counter is cleared, nothing is
// appended, no message is shown.
TEST_F(DialogTest, ARunStopsOnCancelEscapeOrTheCloseBox)
{
    std::string text;
    std::mt19937 random(5);
    std::uniform_int_distribution<int> value(0, 999);
    for (int r = 0; r < 300000; ++r) {
        text += std::to_string(value(random)) + ' ' + std::to_string(value(random)) + ' '
                + std::to_string(value(random)) + '\n';
    }
    const DataSet data = dataOf(text);
    frmESBootstrap dialog(platform, data, log, nullptr);
    dialog.show();
    check(dialog.lstDV, 0);
    check(dialog.lstPredictors, 1);
    check(dialog.lstAdded, 2);
    dialog.optTrials[7]->setChecked(true); // 2000 trials
    const std::function<void()> stops[] = {
        [&] { QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton); },
        [&] { QTest::keyClick(&dialog, Qt::Key_Escape); },
        [&] { dialog.close(); },
    };
    for (const auto& stop : stops) {
        QSignalSpy finished(&dialog, &frmESBootstrap::runFinished);
        QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
        ASSERT_TRUE(dialog.running());
        EXPECT_TRUE(dialog.cmdCancel->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.txtTrial->text().isEmpty(); }, 60000));
        stop();
        ASSERT_TRUE(finished.wait(60000) || finished.count() == 1);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.txtTrial->text().isEmpty());
        EXPECT_TRUE(platform.messages.empty());
        EXPECT_EQ(log.readAll(), "");
        EXPECT_EQ(checkedItems(dialog.lstAdded), std::vector<int>({2}));
        EXPECT_TRUE(dialog.cmdOK->isEnabled());
    }
}

// The dialog by keyboard alone: Tab follows the layout (the trial counter
// takes no stop), Enter in the seed box is OK, Escape on the idle dialog is
// Cancel; the longest seed shows whole.
TEST_F(DialogTest, TheBootstrapDialogByKeyboard)
{
    const DataSet data = studyData();
    frmESBootstrap dialog(platform, data, log, nullptr);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    const QList<QWidget*> order = {dialog.lstDV,           dialog.lstPredictors, dialog.lstAdded,
                                   dialog.chkAddedBlock,   dialog.optTrials[0],  dialog.opt90CI,
                                   dialog.chkCoefficients, dialog.txtSeed,       dialog.cmdOK,
                                   dialog.cmdCancel,       dialog.chkDetails};
    dialog.lstDV->setFocus();
    for (int i = 0; i + 1 < order.size(); ++i) {
        ASSERT_EQ(dialog.focusWidget(), order[i]) << i;
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(dialog.focusWidget(), order[i + 1])
            << order[i + 1]->objectName().toStdString() << " expected, focus on "
            << dialog.focusWidget()->objectName().toStdString();
    }
    EXPECT_EQ(dialog.txtTrial->focusPolicy(), Qt::ClickFocus);

    dialog.txtSeed->setText(QStringLiteral("9223372036854775807"));
    const int shown = dialog.txtSeed->fontMetrics().horizontalAdvance(dialog.txtSeed->text());
    EXPECT_LE(shown, dialog.txtSeed->contentsRect().width() - 4)
        << "the longest seed is cut: " << shown << " in " << dialog.txtSeed->contentsRect().width();

    checkStudyModel(dialog);
    dialog.txtSeed->setText(QStringLiteral("12345"));
    QSignalSpy finished(&dialog, &frmESBootstrap::runFinished);
    QTest::keyClick(dialog.txtSeed, Qt::Key_Return);
    ASSERT_TRUE(finished.count() == 1 || finished.wait(60000));
    EXPECT_TRUE(log.readAll().startsWith("Results of Bootstrap Trials"));
    EXPECT_FALSE(dialog.isVisible());

    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.discarded());
}

// The seed box: the seed a run used is shown, OK repeats the run, and the
// report is the command line's with --seed, digit for digit.
TEST_F(DialogTest, TheSeedShownRepeatsTheRunAndMatchesTheCommandLine)
{
    const DataSet data = studyData();
    frmESBootstrap dialog(platform, data, log, nullptr);
    dialog.show();
    checkStudyModel(dialog);
    runOk(dialog); // an empty box: a seed from the clock, then shown
    const QString seed = dialog.txtSeed->text();
    ASSERT_FALSE(seed.isEmpty());
    const QString first = log.readAll();
    dialog.show();
    runOk(dialog);
    EXPECT_EQ(log.readAll(), first + first);

    log.replaceAll("");
    dialog.show();
    dialog.txtSeed->clear();
    QTest::keyClicks(dialog.txtSeed, "12345");
    runOk(dialog);
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(cli::runCli({std::string(ORVALIS_EXAMPLES_DIR) + "/study.txt", "bootstrap", "--dv", "1", "--predictors",
                           "2,3", "--added", "4", "--seed", "12345"},
                          out, err),
              0)
        << err.str();
    EXPECT_EQ(cli::toUnixLineEnds(log.readAll().toStdString()), out.str());

    dialog.show();
    dialog.txtSeed->setText("-1");
    runOk(dialog);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text,
              "The seed must be a whole number from 0 to 9223372036854775807, or empty for a new seed.");
}

// "Several at once" lets the added-predictor list take a block; turned off
// again, only the lowest-numbered checked item stays.
TEST_F(DialogTest, ABlockOfAddedPredictors)
{
    const DataSet data = dataOf("1 2 3 4 5\n");
    frmESBootstrap dialog(platform, data, log, nullptr);
    dialog.show();
    EXPECT_FALSE(dialog.chkAddedBlock->isChecked());
    check(dialog.lstAdded, 3);
    check(dialog.lstAdded, 4); // one at a time: item 3 is unchecked
    EXPECT_EQ(checkedItems(dialog.lstAdded), std::vector<int>({4}));
    QTest::mouseClick(dialog.chkAddedBlock, Qt::LeftButton);
    ASSERT_TRUE(dialog.chkAddedBlock->isChecked());
    check(dialog.lstAdded, 1);
    check(dialog.lstAdded, 2);
    EXPECT_EQ(dialog.request().AddedList, std::vector<std::int32_t>({2, 3, 5}));
    QTest::mouseClick(dialog.chkAddedBlock, Qt::LeftButton);
    EXPECT_EQ(checkedItems(dialog.lstAdded), std::vector<int>({1}));
    EXPECT_EQ(dialog.checkedAdded(), 2);
    check(dialog.lstAdded, 3);
    EXPECT_EQ(checkedItems(dialog.lstAdded), std::vector<int>({3}));
}

// "Add details to the report": off by default, kept from one dialog (and one
// run of the program) to the next, and the details follow the report.
TEST_F(DialogTest, DetailsFollowTheReportAndTheChoiceIsKept)
{
    QSettings().remove("bootstrap/details");
    const DataSet data = studyData();
    {
        frmESBootstrap dialog(platform, data, log, nullptr);
        EXPECT_FALSE(dialog.chkDetails->isChecked());
        dialog.show();
        QTest::mouseClick(dialog.chkDetails, Qt::LeftButton);
        check(dialog.lstDV, 0);
        check(dialog.lstAdded, 1);
        dialog.setDataFileName("/data/study.txt", "space");
        runOk(dialog);
    }
    const QString text = log.readAll();
    EXPECT_TRUE(text.startsWith("Results of Bootstrap Trials\r\n"));
    EXPECT_TRUE(text.contains("Number of valid robust D bootstrap trials = 600\r\n\r\n\r\n\r\n\r\n\r\n"
                              "Details of Bootstrap Trials\r\n-------------------------------------\r\nSeed: "));
    EXPECT_TRUE(text.contains("\r\nData file: /data/study.txt\r\nComplete cases used: 238 of 240\r\n"));
    // The record follows the details; a file that cannot be read has no SHA-256.
    EXPECT_TRUE(text.contains("Record of the Run\r\n-------------------------------------\r\nProgram: Orvalis "));
    EXPECT_TRUE(text.contains("\r\nData file size and SHA-256: undefined (The SHA-256 of /data/study.txt could not "
                              "be computed: No such file or directory.)\r\n"));
    EXPECT_TRUE(text.contains("\r\nCommand line: orvalis-cli --delimiter space /data/study.txt bootstrap --dv 1 "
                              "--added 2 --trials 600 --confidence 95 --seed "));
    frmESBootstrap again(platform, data, log, nullptr);
    EXPECT_TRUE(again.chkDetails->isChecked());
    QSettings().remove("bootstrap/details");
}

// The Coefficients box: off by default, kept from one dialog to the next, and
// the report with it is what the command line prints with --coefficients (the
// block of each model's coefficients and their bootstrap intervals); the
// hierarchical window's box does the same for each step.
TEST_F(DialogTest, TheCoefficientsBoxAddsWhatTheCommandLinePrints)
{
    QSettings().remove("bootstrap/coefficients");
    const DataSet data = studyData();
    auto cliRun = [](std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(cli::runCli(args, out, err), 0) << err.str();
        return out.str();
    };
    {
        frmESBootstrap dialog(platform, data, log, nullptr);
        EXPECT_FALSE(dialog.chkCoefficients->isChecked());
        dialog.show();
        checkStudyModel(dialog);
        QTest::mouseClick(dialog.chkCoefficients, Qt::LeftButton);
        dialog.txtSeed->setText("12345");
        runOk(dialog);
    }
    const std::string pair = cli::toUnixLineEnds(log.readAll().toStdString());
    EXPECT_NE(pair.find("\nCoefficients\n"), std::string::npos) << pair;
    EXPECT_NE(pair.find("\nBootstrap intervals from the 600 valid trials:\n"), std::string::npos);
    EXPECT_EQ(pair, cliRun({std::string(ORVALIS_EXAMPLES_DIR) + "/study.txt", "bootstrap", "--dv", "1", "--predictors",
                            "2,3", "--added", "4", "--seed", "12345", "--coefficients"}));
    {
        frmESBootstrap again(platform, data, log, nullptr);
        EXPECT_TRUE(again.chkCoefficients->isChecked());
    }
    QSettings().remove("bootstrap/coefficients");

    log.replaceAll("");
    const DataSet iris =
        *ImportDataFile(std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/iris.csv", Delimiter::Comma);
    frmHierarchical dialog(platform, iris, log, nullptr);
    dialog.show();
    dialog.cmbDependent->setCurrentIndex(0);
    dialog.lstVariables->setCurrentRow(1, QItemSelectionModel::ClearAndSelect); // Sepal.Width
    QTest::mouseClick(dialog.cmdAdd, Qt::LeftButton);
    QTest::mouseClick(dialog.cmdNext, Qt::LeftButton);
    dialog.lstVariables->setCurrentRow(4, QItemSelectionModel::ClearAndSelect); // Species
    QTest::mouseClick(dialog.cmdAdd, Qt::LeftButton);
    dialog.spnTrials->setValue(200);
    dialog.txtSeed->setText("5");
    EXPECT_FALSE(dialog.chkCoefficients->isChecked());
    dialog.chkCoefficients->setChecked(true);
    QSignalSpy finished(&dialog, &frmHierarchical::runFinished);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_TRUE(finished.wait(60000) || finished.count() == 1);
    const std::string steps = cli::toUnixLineEnds(log.readAll().toStdString());
    EXPECT_NE(steps.find("\nCoefficients by Step\n"), std::string::npos) << steps;
    EXPECT_EQ(steps, cliRun({"--delimiter", "comma", std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/iris.csv",
                             "hierarchical", "--dv", "1", "--step", "2", "--step", "5", "--trials", "200", "--seed",
                             "5", "--coefficients"}));
}

// Copy APA Results: disabled until a run; then the sentence and table as
// text and HTML; the BCa interval of a run without details is refused.
TEST_F(DialogTest, CopyApaResults)
{
    QSettings().remove("bootstrap/details");
    QSettings().remove("apa/interval");
    const DataSet data = studyData();
    frmESBootstrap dialog(platform, data, log, nullptr);
    dialog.show();
    EXPECT_FALSE(dialog.cmdCopyAPA->isEnabled());
    check(dialog.lstDV, 0);
    check(dialog.lstAdded, 1);
    runOk(dialog);
    ASSERT_TRUE(dialog.cmdCopyAPA->isEnabled());
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    // By its mnemonic; the button presses a moment later.
    QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !platform.clipboardHtml.isEmpty(); }, 5000));
    const QString text = platform.clipboard.value_or(QString());
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("Adding Var 2 to a model without predictors increased R\u00b2 "
                                                  "from .00 to ")))
        << text.toStdString();
    EXPECT_TRUE(text.contains("(percentile bootstrap, 600 resamples; Orvalis "));
    EXPECT_TRUE(text.contains("\n\nTable 1\n"));
    EXPECT_TRUE(platform.clipboardHtml.contains("<table"));
    EXPECT_TRUE(platform.messages.empty());

    setApaIntervalSetting(IntervalKind::BCa);
    platform.clipboardHtml.clear();
    dialog.cmdCopyAPA->click();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_TRUE(platform.messages[0].text.startsWith("The BCa interval is computed with the details"));
    EXPECT_TRUE(platform.clipboardHtml.isEmpty());
    QSettings().remove("apa/interval");
}

// Copy APA Results as Markdown with names from the file that would be HTML, a
// link, code or mathematics when pasted: the clipboard's text escapes each of
// them (its HTML escapes them as HTML); the plain text keeps them as written.
TEST_F(DialogTest, CopyApaMarkdownEscapesNames)
{
    QSettings().remove("apa/interval");
    BootstrapResult run;
    run.request.DependentVariable = 1;
    run.request.AddedList = {2, 3};
    run.request.NumTrials = 600;
    run.NumValid = 600;
    run.VariableNames = {"", "<img src=x onerror=alert(1)>", "[click](http://x.example)", "`tick` $x$ ~y~"};
    run.ReducedR2 = 0.0;
    run.FullR2 = run.DeltaR2 = 0.25;
    run.FValue = 7.5f;
    run.df1 = 2;
    run.df2 = 45;
    run.PValue = 0.0015;
    run.Seed = 5;
    run.setPercentileIntervals(0.06f, 0.41f);
    copyApaResults(platform, nullptr, std::optional<BootstrapResult>(run), true);
    ASSERT_TRUE(platform.messages.empty());
    const QString markdown = platform.clipboard.value_or(QString());
    EXPECT_TRUE(markdown.startsWith("Adding \\[click\\](http://x.example) and \\`tick\\` \\$x\\$ \\~y\\~ to a model "
                                    "without predictors increased"))
        << markdown.toStdString();
    EXPECT_TRUE(markdown.contains("*Hierarchical Regression of \\<img src=x onerror=alert(1)\\>*"))
        << markdown.toStdString();
    for (const char* live : {" <img", " [click](", " `", " $", " ~"}) {
        EXPECT_FALSE(markdown.contains(QString::fromLatin1(live))) << live << "\n" << markdown.toStdString();
    }
    EXPECT_FALSE(platform.clipboardHtml.contains("<img"));

    copyApaResults(platform, nullptr, std::optional<BootstrapResult>(run), false);
    EXPECT_TRUE(platform.clipboard.value_or(QString()).startsWith(
        "Adding [click](http://x.example) and `tick` $x$ ~y~ to a model without predictors"));
}

// The effect sizes in the window, as the Analyses menu's settings ask: none
// by default (the log and the distribution window as before); the block
// without details when the modified limit follows the robust test, which the
// block names; Alf and Graf's interval for Copy APA Results and as lines in
// the distribution window when it is the APA interval.
TEST_F(DialogTest, EffectSizesFollowTheSettings)
{
    QSettings().remove("bootstrap/details");
    QSettings().remove("apa/interval");
    const DataSet data = studyData();
    struct Case {
        EffectSizeRequest setting;
        IntervalKind apa;
        bool block;
        const char* follows;
        bool alfGraf;
    };
    const Case cases[] = {
        {{}, IntervalKind::Traditional, false, "", false},
        {{RobustCovariance::HC4, true},
         IntervalKind::Traditional,
         true,
         "Modified lower limit: follows the robust F test (HC4), ",
         true},
        {{}, IntervalKind::AlfGraf, false, "", true},
    };
    for (const Case& c : cases) {
        setEffectSizeSetting(c.setting);
        setApaIntervalSetting(c.apa);
        log.clear();
        std::optional<BootstrapResult> result;
        frmESBootstrap dialog(platform, data, log, nullptr);
        QObject::connect(&dialog, &frmESBootstrap::runSucceeded, [&](const BootstrapResult& r) { result = r; });
        dialog.show();
        check(dialog.lstDV, 0);
        check(dialog.lstPredictors, 1);
        check(dialog.lstAdded, 2);
        runOk(dialog);
        ASSERT_TRUE(result.has_value());
        const QString text = log.readAll();
        EXPECT_EQ(text.contains("Effect Sizes and Analytic Intervals\r\n"), c.block) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromLatin1(c.follows)));
        frmDistribution window(platform, *result, nullptr);
        EXPECT_EQ(window.chkAlfGraf->isVisibleTo(&window), c.alfGraf);
        const std::size_t lines = window.plotDistribution->markers().size();
        window.chkAlfGraf->setChecked(true);
        EXPECT_EQ(window.plotDistribution->markers().size(), lines + (c.alfGraf ? 2 : 0));
        window.chkAlfGraf->setChecked(false);
        if (c.apa == IntervalKind::AlfGraf) {
            platform.clipboard.reset();
            dialog.cmdCopyAPA->click();
            EXPECT_TRUE(platform.clipboard.value_or(QString()).contains("(Alf and Graf's large-sample method"));
        }
    }
    // A run without the effect sizes has no Alf and Graf interval to copy.
    setEffectSizeSetting({});
    setApaIntervalSetting(IntervalKind::Traditional);
    frmESBootstrap dialog(platform, data, log, nullptr);
    dialog.show();
    check(dialog.lstDV, 0);
    check(dialog.lstAdded, 2);
    runOk(dialog);
    setApaIntervalSetting(IntervalKind::AlfGraf);
    platform.messages.clear();
    dialog.cmdCopyAPA->click();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_TRUE(platform.messages[0].text.startsWith("Alf and Graf's interval is computed with the effect sizes"));
    QSettings().remove("apa/interval");
    QSettings().remove("effectSizes/robust");
    QSettings().remove("effectSizes/modifiedFollowsRobust");
}

// Plan Sample Size: the power block by the keyboard (Cohen's example in
// pwr's convention), a refusal named in a message, the power curve's window
// with its points, and the width plan run to its block and stopped by Close.
TEST_F(DialogTest, PlanSampleSize)
{
    frmPlan dialog(platform, log, nullptr);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    dialog.spnPredictors->setValue(0);
    dialog.spnAdded->setValue(5);
    dialog.optF2->setChecked(true);
    dialog.spnF2->setValue(0.1111);
    dialog.cmbNoncentrality->setCurrentIndex(1);
    dialog.optPowerAtN->setChecked(true);
    dialog.spnN->setValue(95);
    QTest::keyClick(&dialog, Qt::Key_C, Qt::AltModifier); // Compute Power
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.readAll().contains("Power: "); }, 5000));
    // R: pwr.f2.test(u = 5, v = 89, f2 = .1111)$power = 0.6735 (.6736 at f2 = .1/.9).
    EXPECT_TRUE(log.readAll().contains("Sample size: 95\r\ndf1 = 5, df2 = 89, lambda = 10.5545"))
        << log.readAll().toStdString();

    dialog.spnN->setValue(6); // below p + q + 2
    platform.messages.clear();
    dialog.cmdPower->click();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_TRUE(platform.messages[0].text.contains("needs at least 7 cases"));

    dialog.optNForPower->setChecked(true);
    std::size_t points = 0;
    QTimer::singleShot(0, [&] {
        if (auto* curve = qobject_cast<frmPowerCurve*>(QApplication::activeModalWidget())) {
            points = curve->plotPowerCurve->points().size();
            EXPECT_TRUE(curve->plotPowerCurve->toSvg().contains("Power"));
            curve->cmdClose->click();
        }
    });
    dialog.cmdCurve->click();
    EXPECT_GT(points, 50u);

    log.clear();
    dialog.tabPlans->setCurrentIndex(1);
    dialog.spnPredictors->setValue(1);
    dialog.spnAdded->setValue(1);
    dialog.spnFrom->setValue(30);
    dialog.spnTo->setValue(60);
    dialog.spnStep->setValue(30);
    dialog.spnDataSets->setValue(10);
    dialog.spnTrials->setValue(100);
    dialog.txtSeed->setText("3");
    QSignalSpy finished(&dialog, &frmPlan::planFinished);
    dialog.cmdRunPlan->click();
    ASSERT_TRUE(finished.wait(30000));
    const QString text = log.readAll();
    EXPECT_TRUE(text.startsWith("Sample Size for the Width of the Bootstrap Interval\r\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\r\n30  10  "));
    EXPECT_EQ(dialog.prgPlan->value(), 20);

    dialog.spnTo->setValue(3000);
    dialog.spnDataSets->setValue(2000);
    dialog.cmdRunPlan->click();
    EXPECT_TRUE(dialog.running());
    dialog.cmdClose->click(); // stops the plan, the dialog stays
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_FALSE(dialog.running());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(log.readAll(), text); // nothing appended
}

// Plan Sample Size shows its answer in the dialog (a label), and the log
// scrolls to the new block instead of showing its start. The window's
// structure starts at the command line's intercorrelation (0), so the same
// plan asked in both gives the same block, with the Monte Carlo errors and
// the marks behind the same choice (chkDetails, --details).
TEST_F(DialogTest, PlanShowsItsAnswerAndTheLogFollowsIt)
{
    box->resize(400, 200);
    box->show();
    QString earlier;
    for (int k = 0; k < 300; ++k) {
        earlier += QStringLiteral("earlier line %1\r\n").arg(k);
    }
    log.replaceAll(earlier);
    frmPlan dialog(platform, log, nullptr);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(dialog.lblAnswer->text(), "");
    // R, as in test_Planning.cpp: the first N whose power reaches .8 for
    // p = 3, q = 2, f^2 = .05/.75 is 148, with power 0.8010990743.
    dialog.spnPredictors->setValue(3);
    dialog.spnAdded->setValue(2);
    dialog.spnChange->setValue(0.05);
    dialog.spnFullR2->setValue(0.25);
    dialog.optNForPower->setChecked(true);
    dialog.spnTargetPower->setValue(0.8);
    QTest::keyClick(&dialog, Qt::Key_C, Qt::AltModifier); // Compute Power
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.lblAnswer->text().isEmpty(); }, 5000));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(dialog.lblAnswer->text(), "N = 148 reaches the power: 0.8011.");
    EXPECT_EQ(box->textCursor().blockNumber(), 300); // the caret on the block's first line
    EXPECT_TRUE(box->textCursor().block().text().startsWith("Power of the F Test"));
    EXPECT_GT(box->verticalScrollBar()->value(), 250);
    // R: f(81, 2, 2, .5) = 0.9999546187 (test_Planning.cpp) is shown below 1.
    dialog.spnPredictors->setValue(2);
    dialog.optF2->setChecked(true);
    dialog.spnF2->setValue(0.5);
    dialog.optPowerAtN->setChecked(true);
    dialog.spnN->setValue(81);
    dialog.cmdPower->click();
    EXPECT_EQ(dialog.lblAnswer->text(), "Power at N = 81: > .9999.");

    EXPECT_EQ(dialog.spnIntercorrelation->value(), 0.0); // orvalis-cli plan width's default
    EXPECT_EQ(dialog.spnIntercorrelation->value(), DefaultIntercorrelation);
    for (const bool details : {false, true}) {
        log.clear();
        dialog.tabPlans->setCurrentIndex(1);
        dialog.spnPredictors->setValue(1);
        dialog.spnAdded->setValue(1);
        dialog.spnReducedR2->setValue(0.2);
        dialog.spnWidthChange->setValue(0.1);
        dialog.spnFrom->setValue(30);
        dialog.spnTo->setValue(60);
        dialog.spnStep->setValue(30);
        dialog.spnDataSets->setValue(20);
        dialog.spnTrials->setValue(100);
        dialog.spnTargetWidth->setValue(0.3);
        dialog.txtSeed->setText("3");
        dialog.chkDetails->setChecked(details);
        QSignalSpy finished(&dialog, &frmPlan::planFinished);
        dialog.cmdRunPlan->click();
        ASSERT_TRUE(finished.wait(30000));
        std::vector<std::string> args = {"plan",     "width", "--predictors",   "1",  "--added", "1",
                                         "--r2-reduced", ".2", "--delta-r2", ".1", "--n",     "30:60:30",
                                         "--target-width", ".3", "--datasets", "20", "--trials", "100",
                                         "--seed",   "3"};
        if (details) {
            args.push_back("--details");
        }
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(cli::runCli(args, out, err), 0) << err.str();
        const std::string text = cli::toUnixLineEnds(log.readAll().toStdString());
        EXPECT_EQ(text, out.str());
        EXPECT_EQ(text.find("MC error") != std::string::npos, details) << text;
        EXPECT_TRUE(dialog.lblAnswer->text().startsWith("Smallest N: traditional ")) << dialog.lblAnswer->text().toStdString();
    }
}

TEST_F(DialogTest, BootstrapOneCheckedItemRuleAndRequest)
{
    const DataSet data = dataOf("1 2 3 4\n");
    frmESBootstrap dialog(platform, data, log, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Effect Size Bootsrap");
    EXPECT_EQ(dialog.lstDV->count(), 4);
    EXPECT_EQ(dialog.lstAdded->item(3)->text(), "Var 4");
    EXPECT_EQ(dialog.checkedDV(), 9999999);
    EXPECT_TRUE(dialog.optTrials[0]->isChecked());
    EXPECT_EQ(dialog.optTrials[7]->text(), "2000");
    EXPECT_TRUE(dialog.opt95CI->isChecked());
    EXPECT_EQ(dialog.txtTrial->text(), "");

    check(dialog.lstDV, 0);
    check(dialog.lstDV, 1);
    EXPECT_EQ(checkedItems(dialog.lstDV), std::vector<int>({1}));
    EXPECT_EQ(dialog.checkedDV(), 2);
    check(dialog.lstDV, 1, false);
    EXPECT_TRUE(checkedItems(dialog.lstDV).empty());
    EXPECT_EQ(dialog.checkedDV(), 9999999);

    check(dialog.lstAdded, 3);
    check(dialog.lstAdded, 2);
    EXPECT_EQ(checkedItems(dialog.lstAdded), std::vector<int>({2}));
    EXPECT_EQ(dialog.checkedAdded(), 3);

    check(dialog.lstDV, 0);
    check(dialog.lstPredictors, 3);
    check(dialog.lstPredictors, 1);
    check(dialog.lstPredictors, 0); // the same variable in two lists is allowed
    dialog.optTrials[5]->setChecked(true);
    dialog.opt99CI->setChecked(true);
    const BootstrapRequest request = dialog.request();
    EXPECT_EQ(request.DependentVariable, 1);
    EXPECT_EQ(request.PredictorList, std::vector<std::int32_t>({1, 2, 4}));
    EXPECT_EQ(request.AddedList, std::vector<std::int32_t>({3}));
    EXPECT_EQ(request.NumTrials, 1600);
    EXPECT_EQ(request.Level, ConfidenceLevel::P99);
}

// The lists and the navigator name each variable beside its number.
TEST_F(DialogTest, ListsAndNavigatorShowNames)
{
    const DataSet data = dataOf("\"age\",\"\",\"sleep\"\n30,2,7\n", ',');
    frmDescriptives descriptives(platform, data, log, nullptr);
    frmESBootstrap bootstrap(platform, data, log, nullptr);
    for (QListWidget* list : {descriptives.lstItems, bootstrap.lstDV, bootstrap.lstPredictors, bootstrap.lstAdded}) {
        ASSERT_EQ(list->count(), 3);
        EXPECT_EQ(list->item(0)->text(), "Var 1  age");
        EXPECT_EQ(list->item(1)->text(), "Var 2");
        EXPECT_EQ(list->item(2)->text(), "Var 3  sleep");
        EXPECT_EQ(list->item(2)->toolTip(), "Var 3  sleep"); // whole, where the list cuts it
    }
    frmNavigate navigator(data, nullptr);
    EXPECT_EQ(navigator.lblColumn->text(), "Column: 1  age");
    navigator.cmdRight->click();
    EXPECT_EQ(navigator.lblColumn->text(), "Column: 2");
}

TEST_F(DialogTest, BootstrapRefusalKeepsTheDialogOpen)
{
    const DataSet data = dataOf("1 2\n3 4\n5 7\n");
    frmESBootstrap dialog(platform, data, log, nullptr);
    dialog.show();
    runOk(dialog); // nothing checked at all
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "At least one variable must be added from the <Added Predictors> listbox.");
    EXPECT_EQ(platform.messages[0].title, "Analysis Error");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.cmdOK->isEnabled());
    EXPECT_EQ(log.readAll(), "");

    // The dependent variable checked as the added predictor too: refused at OK,
    // before any run starts (the seed box is not filled, OK never disabled).
    check(dialog.lstDV, 0);
    check(dialog.lstAdded, 0);
    QSignalSpy finished(&dialog, &frmESBootstrap::runFinished);
    runOk(dialog);
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].text, "Var 1 is used in two roles: dependent variable and added predictor.");
    EXPECT_EQ(platform.messages[1].title, "Analysis Error");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(checkedItems(dialog.lstDV), std::vector<int>({0}));
    EXPECT_EQ(log.readAll(), "");
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(dialog.txtSeed->text(), "");
}

TEST_F(DialogTest, BootstrapRunAppendsTheReportAndHides)
{
    const DataSet data = studyData();
    frmESBootstrap dialog(platform, data, log, nullptr);
    dialog.show();
    checkStudyModel(dialog);
    dialog.optTrials[1]->setChecked(true);
    runOk(dialog);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.txtTrial->text(), "800");
    const QString text = log.readAll();
    EXPECT_TRUE(
        text.startsWith("Results of Bootstrap Trials\r\n-------------------------------------\r\n"
                        "Dependent variable: Var1\r\nPredictors in reduced model: Var2 Var3 \r\n"
                        "Predictors added in full model: Var4 \r\nNumber of attempted bootstrap trials: 800\r\n"))
        << text.toStdString();
    EXPECT_TRUE(
        text.contains("\r\nReduced Model R^2: 0.55932\r\nFull Model R^2: 0.56893\r\nChange in R^2: 0.00961\r\n"));
    EXPECT_TRUE(text.contains("\r\nF-value: 5.148(df1 = 1, df2 = 231)\r\n"));
    EXPECT_TRUE(text.endsWith("Number of attempted bootstrap trials = 800\r\n"
                              "Number of valid robust D bootstrap trials = 800\r\n\r\n\r\n\r\n\r\n\r\n"));
    // Choices are kept for the next opening, and the run can be plotted.
    EXPECT_EQ(dialog.checkedDV(), 1);
    EXPECT_TRUE(dialog.optTrials[1]->isChecked());
    dialog.show();
    EXPECT_TRUE(dialog.cmdDistribution->isEnabled());
}

} // namespace
} // namespace orvalis

namespace orvalis {
namespace {

// A condition stored the SPSS way (numeric codes with value labels) marked
// Categorical by keyboard: its reference chosen by label, R's factor model in
// the report (tests/data/make_labelled_condition.R: F change 4.9605 on 2 and
// 55, R^2 .49648); unmarked, one number and the warning line. A text variable
// shows the mark set and fixed; a constant one cannot be marked.
TEST_F(DialogTest, TheHierarchicalDialogMarksANumericPredictorCategorical)
{
    const DataSet data =
        *importAnyFile(std::string(ORVALIS_TEST_DATA_DIR) + "/labelled_condition.sav", Delimiter::Space);
    frmHierarchical dialog(platform, data, log, nullptr);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_FALSE(dialog.chkCategorical->isEnabled()) << "no variable selected";
    dialog.cmbDependent->setCurrentIndex(0);
    dialog.lstVariables->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    dialog.lstVariables->setCurrentRow(2, QItemSelectionModel::Select);
    QTest::mouseClick(dialog.cmdAdd, Qt::LeftButton);
    QTest::mouseClick(dialog.cmdNext, Qt::LeftButton);
    dialog.lstVariables->setCurrentRow(3, QItemSelectionModel::ClearAndSelect);
    QTest::mouseClick(dialog.cmdAdd, Qt::LeftButton);
    dialog.lstStepVariables->setFocus();
    dialog.lstStepVariables->setCurrentRow(0);
    ASSERT_TRUE(dialog.chkCategorical->isEnabled());
    EXPECT_FALSE(dialog.chkCategorical->isChecked());
    EXPECT_FALSE(dialog.cmbReference->isEnabled());
    EXPECT_EQ(dialog.lstSteps->item(1)->text(), "Step 2: Var 4 (condition)");
    // Tab from the step's variables reaches the mark; Space sets it.
    QTest::keyClick(dialog.lstStepVariables, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog.chkCategorical);
    QTest::keyClick(dialog.chkCategorical, Qt::Key_Space);
    ASSERT_TRUE(dialog.chkCategorical->isChecked());
    ASSERT_TRUE(dialog.cmbReference->isEnabled());
    ASSERT_EQ(dialog.cmbReference->count(), 3);
    EXPECT_EQ(dialog.cmbReference->itemText(1), "mindfulness");
    EXPECT_EQ(dialog.lstSteps->item(1)->text(), "Step 2: Var 4 (condition): 3 categories (reference: control)");
    dialog.cmbReference->setFocus();
    QTest::keyClick(dialog.cmbReference, Qt::Key_End); // exercise
    EXPECT_EQ(dialog.lstStepVariables->item(0)->text(), "Var 4 (condition): 3 categories (reference: exercise)");
    dialog.spnTrials->setValue(200);
    HierarchicalRequest request = dialog.request();
    EXPECT_EQ(request.Categorical, (std::set<std::int32_t>{4}));
    EXPECT_EQ(request.ReferenceCategory.at(4), 3);

    QSignalSpy finished(&dialog, &frmHierarchical::runFinished);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_TRUE(finished.wait(60000) || finished.count() == 1);
    EXPECT_TRUE(platform.messages.empty());
    QString text = log.readAll();
    EXPECT_TRUE(text.contains("Step 2 adds: Var4 (condition): control, mindfulness vs exercise\r\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\r\n2     0.49648  0.09083  200")) << text.toStdString();
    EXPECT_TRUE(text.contains("  4.961     2    55   0.01046\r\n")) << text.toStdString();
    EXPECT_FALSE(text.contains("Var4 (condition) has value labels"));
    EXPECT_TRUE(text.contains("Warning: Var3 (gender) has value labels and enters as a number;"));

    // Unmarked: one number again, without a reference, and the warning.
    dialog.lstStepVariables->setCurrentRow(0);
    EXPECT_TRUE(dialog.chkCategorical->isChecked());
    dialog.chkCategorical->setFocus();
    QTest::keyClick(dialog.chkCategorical, Qt::Key_Space);
    EXPECT_FALSE(dialog.chkCategorical->isChecked());
    EXPECT_FALSE(dialog.cmbReference->isEnabled());
    request = dialog.request();
    EXPECT_TRUE(request.Categorical.empty());
    EXPECT_TRUE(request.ReferenceCategory.empty());
    log.clear();
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_TRUE(finished.wait(60000) || finished.count() == 2);
    text = log.readAll();
    EXPECT_TRUE(text.contains("  9.051     1    56   ")) << text.toStdString();
    EXPECT_TRUE(text.contains("\r\nWarning: Var4 (condition) has value labels and enters as a number; declare it "
                              "categorical (--categorical condition, or the Categorical mark in the hierarchical window) to enter "
                              "its categories.\r\n"));

    // A text variable is categorical already; a constant cannot be marked.
    const DataSet iris =
        *ImportDataFile(std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/iris.csv", Delimiter::Comma);
    frmHierarchical text5(platform, iris, log, nullptr);
    text5.cmbDependent->setCurrentIndex(0);
    text5.lstVariables->setCurrentRow(4, QItemSelectionModel::ClearAndSelect);
    QTest::mouseClick(text5.cmdAdd, Qt::LeftButton);
    text5.lstStepVariables->setCurrentRow(0);
    EXPECT_TRUE(text5.chkCategorical->isChecked());
    EXPECT_FALSE(text5.chkCategorical->isEnabled());
    const DataSet constant = dataOf("1 5\n2 5\n3 5\n");
    frmHierarchical one(platform, constant, log, nullptr);
    one.cmbDependent->setCurrentIndex(0);
    one.lstVariables->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    QTest::mouseClick(one.cmdAdd, Qt::LeftButton);
    one.lstStepVariables->setCurrentRow(0);
    EXPECT_FALSE(one.chkCategorical->isEnabled());

    // A measurement of many values is no set of codes: marking it is refused, and it stays a number.
    std::string many;
    for (int r = 0; r < 40; ++r) {
        many += std::to_string(r % 5) + " " + std::to_string(r) + "\n";
    }
    const DataSet measured = dataOf(many);
    frmHierarchical wide(platform, measured, log, nullptr);
    wide.cmbDependent->setCurrentIndex(0);
    wide.lstVariables->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    QTest::mouseClick(wide.cmdAdd, Qt::LeftButton);
    wide.lstStepVariables->setCurrentRow(0);
    ASSERT_TRUE(wide.chkCategorical->isEnabled());
    platform.messages.clear();
    QTest::mouseClick(wide.chkCategorical, Qt::LeftButton);
    EXPECT_FALSE(wide.chkCategorical->isChecked());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text,
              "Var 2 has more than 25 different values; a categorical predictor has at most 25 categories.");
    EXPECT_TRUE(wide.request().Categorical.empty());
    EXPECT_EQ(wide.lstStepVariables->item(0)->text(), "Var 2");
}

// Centred: the selected numeric predictor is centred at its mean (Tab after
// the Categorical mark, Space sets it); a categorical one cannot be, and
// marking it categorical or taking it out of the step drops the centring.
// The report's coefficients then say at which mean.
TEST_F(DialogTest, TheHierarchicalDialogCentresANumericPredictor)
{
    const DataSet mtcars =
        *ImportDataFile(std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/mtcars.csv", Delimiter::Comma);
    frmHierarchical dialog(platform, mtcars, log, nullptr);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_FALSE(dialog.chkCentred->isEnabled()) << "no variable selected";
    dialog.cmbDependent->setCurrentIndex(0);
    dialog.lstVariables->setCurrentRow(5, QItemSelectionModel::ClearAndSelect); // wt
    dialog.lstVariables->setCurrentRow(8, QItemSelectionModel::Select);         // am
    QTest::mouseClick(dialog.cmdAdd, Qt::LeftButton);
    dialog.lstStepVariables->setFocus();
    dialog.lstStepVariables->setCurrentRow(0); // wt
    ASSERT_TRUE(dialog.chkCentred->isEnabled());
    QTest::keyClick(dialog.lstStepVariables, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog.chkCentred);
    QTest::keyClick(dialog.chkCentred, Qt::Key_Space);
    EXPECT_EQ(dialog.request().Centred, (std::set<std::int32_t>{6}));
    // am marked categorical cannot be centred.
    dialog.lstStepVariables->setCurrentRow(1);
    EXPECT_FALSE(dialog.chkCentred->isChecked());
    dialog.chkCentred->click();
    EXPECT_EQ(dialog.request().Centred, (std::set<std::int32_t>{6, 9}));
    dialog.chkCategorical->click();
    EXPECT_FALSE(dialog.chkCentred->isEnabled());
    EXPECT_EQ(dialog.request().Centred, (std::set<std::int32_t>{6}));
    dialog.chkCategorical->click();

    dialog.spnTrials->setValue(100);
    dialog.txtSeed->setText("2");
    dialog.chkCoefficients->setChecked(true);
    QSignalSpy finished(&dialog, &frmHierarchical::runFinished);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_TRUE(finished.wait(60000) || finished.count() == 1);
    EXPECT_TRUE(log.readAll().contains("\r\nCentred at their means in the complete cases: Var6 (wt) 3.21725\r\n"));

    // Out of the step, no longer centred.
    dialog.lstStepVariables->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    QTest::mouseClick(dialog.cmdRemove, Qt::LeftButton);
    EXPECT_TRUE(dialog.request().Centred.empty());
}

// What orvalis-cli prints for args, with Unix line ends.
std::string cliReport(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(cli::runCli(args, out, err), 0) << err.str();
    return out.str();
}

// Add Product by keyboard: wt * hp in a step of its own after wt and hp (both
// centred), with its simple slopes; the request and the report are those of
// --step wt,hp --step wt*hp --center wt,hp --slopes wt@hp, and with moderator
// values typed, those of --slopes-at; values that are no numbers are refused.
TEST_F(DialogTest, TheHierarchicalDialogAddsAProductAndItsSimpleSlopesAsTheCommandLineDoes)
{
    const std::string file = std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/mtcars.csv";
    const DataSet mtcars = *ImportDataFile(file, Delimiter::Comma);
    frmHierarchical dialog(platform, mtcars, log, nullptr);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    dialog.cmbDependent->setCurrentIndex(0); // mpg
    // No product before two predictors, no simple slopes before a product.
    EXPECT_FALSE(dialog.cmdInteraction->isEnabled());
    EXPECT_FALSE(dialog.chkSlopes->isEnabled());
    dialog.lstVariables->setCurrentRow(5, QItemSelectionModel::ClearAndSelect); // wt
    dialog.lstVariables->setCurrentRow(3, QItemSelectionModel::Select);         // hp
    QTest::mouseClick(dialog.cmdAdd, Qt::LeftButton);
    for (const int row : {0, 1}) {
        dialog.lstStepVariables->setCurrentRow(row);
        dialog.chkCentred->click();
    }
    // The model's predictors in variable order, the first two chosen.
    ASSERT_EQ(dialog.cmbInteractionFirst->count(), 2);
    EXPECT_EQ(dialog.cmbInteractionFirst->currentText(), "Var 4 (hp)");
    EXPECT_EQ(dialog.cmbInteractionSecond->currentText(), "Var 6 (wt)");
    EXPECT_TRUE(dialog.cmdInteraction->isEnabled());
    EXPECT_FALSE(dialog.chkSlopes->isEnabled());
    EXPECT_FALSE(dialog.cmbFocal->isEnabled());
    EXPECT_FALSE(dialog.cmbModerator->isEnabled());
    QTest::mouseClick(dialog.cmdNext, Qt::LeftButton);

    // wt in the first box, hp in the second (Tab between them), Alt+U adds their product to step 2.
    dialog.cmbInteractionFirst->setFocus();
    QTest::keyClick(dialog.cmbInteractionFirst, Qt::Key_Down);
    QTest::keyClick(dialog.cmbInteractionFirst, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog.cmbInteractionSecond);
    QTest::keyClick(dialog.cmbInteractionSecond, Qt::Key_Up);
    QTest::keyClick(&dialog, Qt::Key_U, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.lstStepVariables->count() == 1; }, 5000));
    EXPECT_EQ(dialog.lstStepVariables->item(0)->text(), "Var 6 (wt) * Var 4 (hp)");
    EXPECT_EQ(dialog.lstSteps->item(1)->text(), "Step 2: Var 6 (wt) * Var 4 (hp)");
    EXPECT_TRUE(dialog.cmdNext->isEnabled()) << "a step of a product is a step";
    QTest::mouseClick(dialog.cmdInteraction, Qt::LeftButton);
    EXPECT_EQ(dialog.lstStepVariables->count(), 1) << "the same product is listed once";

    // Simple slopes: offered now, the product's first variable at its second; Tab from the button, Space.
    ASSERT_TRUE(dialog.chkSlopes->isEnabled());
    EXPECT_FALSE(dialog.chkSlopes->isChecked());
    EXPECT_FALSE(dialog.cmbFocal->isEnabled());
    EXPECT_EQ(dialog.cmbFocal->currentText(), "Var 6 (wt)");
    EXPECT_EQ(dialog.cmbModerator->currentText(), "Var 4 (hp)");
    dialog.cmdInteraction->setFocus();
    QTest::keyClick(dialog.cmdInteraction, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog.chkSlopes);
    QTest::keyClick(dialog.chkSlopes, Qt::Key_Space);
    ASSERT_TRUE(dialog.chkSlopes->isChecked());
    EXPECT_TRUE(dialog.cmbFocal->isEnabled());
    EXPECT_TRUE(dialog.cmbModerator->isEnabled());
    EXPECT_TRUE(dialog.txtSlopesAt->isEnabled());

    const HierarchicalRequest request = dialog.request();
    EXPECT_EQ(request.Steps, (std::vector<std::vector<std::int32_t>>{{4, 6}, {}}));
    ASSERT_EQ(request.Products.size(), 2u);
    EXPECT_TRUE(request.Products[0].empty());
    ASSERT_EQ(request.Products[1].size(), 1u);
    EXPECT_EQ(request.Products[1][0].first, 6);
    EXPECT_EQ(request.Products[1][0].second, 4);
    ASSERT_TRUE(request.Slopes.has_value());
    EXPECT_EQ(request.Slopes->focal, 6);
    EXPECT_EQ(request.Slopes->moderator, 4);
    EXPECT_TRUE(request.Slopes->at.empty());

    dialog.spnTrials->setValue(200);
    dialog.txtSeed->setText("1");
    dialog.chkCoefficients->setChecked(true);
    QSignalSpy finished(&dialog, &frmHierarchical::runFinished);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_TRUE(finished.wait(60000) || finished.count() == 1);
    EXPECT_TRUE(platform.messages.empty());
    const std::string report = cli::toUnixLineEnds(log.readAll().toStdString());
    const std::size_t coefficients = report.find("\nCoefficients by Step\n");
    const std::size_t slopes = report.find("\nSimple Slopes of Var6 (wt) at Var4 (hp)\n");
    ASSERT_NE(slopes, std::string::npos) << report;
    EXPECT_LT(coefficients, slopes);
    EXPECT_NE(report.find("\nmean + 1 SD  215.25037  -2.22230  0.68587  [-3.62723, -0.81737]  -3.240  0.00308"),
              std::string::npos)
        << report;
    EXPECT_EQ(report, cliReport({"--delimiter", "comma", file, "hierarchical", "--dv", "mpg", "--step", "wt,hp",
                                 "--step", "wt*hp", "--center", "wt,hp", "--slopes", "wt@hp", "--coefficients",
                                 "--trials", "200", "--seed", "1"}));
    // The run's two figures open from the window, each in its figure window.
    for (QPushButton* button : {dialog.cmdSlopesFigure, dialog.cmdJohnsonNeymanFigure}) {
        ASSERT_TRUE(button->isEnabled());
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* figure = qobject_cast<frmModerationFigure*>(QApplication::activeModalWidget());
            opened = figure != nullptr;
            if (figure != nullptr) {
                figure->cmdClose->click();
            }
        });
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(opened) << button->objectName().toStdString();
    }
    EXPECT_TRUE(platform.messages.empty());

    // Moderator values typed: the slopes at them, as --slopes-at gives them.
    dialog.txtSlopesAt->setText(" 100, 150.5 ");
    EXPECT_EQ(dialog.request().Slopes->at, (std::vector<double>{100.0, 150.5}));
    dialog.chkCoefficients->setChecked(false);
    log.clear();
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_TRUE(finished.wait(60000) || finished.count() == 2);
    const std::string given = cli::toUnixLineEnds(log.readAll().toStdString());
    EXPECT_NE(given.find("\ngiven      100.00000  -5.43181"), std::string::npos) << given;
    EXPECT_EQ(given,
              cliReport({"--delimiter", "comma",        file,       "hierarchical", "--dv",   "mpg",      "--step",
                         "wt,hp",       "--step",       "wt*hp",    "--center",     "wt,hp",  "--slopes", "wt@hp",
                         "--slopes-at", "hp=100,150.5", "--trials", "200",          "--seed", "1"}));

    // Values that are no numbers are refused before a run.
    for (const char* text : {"100; 150", "100,,150", "1e999", "low"}) {
        dialog.txtSlopesAt->setText(QString::fromLatin1(text));
        platform.messages.clear();
        log.clear();
        QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
        EXPECT_FALSE(dialog.running()) << text;
        ASSERT_EQ(platform.messages.size(), 1u) << text;
        EXPECT_EQ(platform.messages[0].text,
                  "The moderator values of the simple slopes must be numbers separated by commas, or empty for the "
                  "mean and one standard deviation either side.");
        EXPECT_EQ(platform.messages[0].title, "Analysis Error");
    }
    EXPECT_TRUE(log.readAll().isEmpty());
}

// A product's removal: by its row (its variables stay), or with either of its
// variables, from whichever step (the product goes; the simple slopes are then
// not offered). A product whose variable enters later is refused by the
// analysis, as the command line refuses it.
TEST_F(DialogTest, TheHierarchicalDialogRemovesAProductWithItsVariable)
{
    const DataSet mtcars =
        *ImportDataFile(std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/mtcars.csv", Delimiter::Comma);
    frmHierarchical dialog(platform, mtcars, log, nullptr);
    dialog.show();
    dialog.cmbDependent->setCurrentIndex(0);
    dialog.lstVariables->setCurrentRow(5, QItemSelectionModel::ClearAndSelect); // wt
    QTest::mouseClick(dialog.cmdAdd, Qt::LeftButton);
    QTest::mouseClick(dialog.cmdNext, Qt::LeftButton);
    dialog.lstVariables->setCurrentRow(3, QItemSelectionModel::ClearAndSelect); // hp
    QTest::mouseClick(dialog.cmdAdd, Qt::LeftButton);
    QTest::mouseClick(dialog.cmdPrevious, Qt::LeftButton);
    // wt * hp in step 1, before hp enters: wt stays chosen first, the second box offers another predictor.
    EXPECT_EQ(dialog.cmbInteractionFirst->currentText(), "Var 6 (wt)");
    EXPECT_EQ(dialog.cmbInteractionSecond->currentText(), "Var 4 (hp)");
    QTest::mouseClick(dialog.cmdInteraction, Qt::LeftButton);
    ASSERT_EQ(dialog.lstStepVariables->count(), 2);
    EXPECT_EQ(dialog.lstSteps->item(0)->text(), "Step 1: Var 6 (wt); Var 6 (wt) * Var 4 (hp)");
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "The product Var 6 (wt) * Var 4 (hp) in step 1 needs Var 4 (hp) in the "
                                         "model: enter it in step 1 or a step before it.");
    EXPECT_FALSE(dialog.running());

    // The product's own row: the product goes, wt stays.
    dialog.chkSlopes->setChecked(true);
    ASSERT_TRUE(dialog.request().Slopes.has_value());
    dialog.lstStepVariables->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    EXPECT_FALSE(dialog.chkCentred->isEnabled()) << "a product is no variable to mark";
    QTest::mouseClick(dialog.cmdRemove, Qt::LeftButton);
    ASSERT_EQ(dialog.lstStepVariables->count(), 1);
    EXPECT_EQ(dialog.lstStepVariables->item(0)->text(), "Var 6 (wt)");
    EXPECT_TRUE(dialog.request().Products.empty());
    EXPECT_FALSE(dialog.request().Slopes.has_value());
    EXPECT_FALSE(dialog.chkSlopes->isEnabled());
    EXPECT_FALSE(dialog.cmbFocal->isEnabled());

    // In step 2 this time; then hp taken out of step 2 takes it along, and wt out of step 1 would too.
    QTest::mouseClick(dialog.cmdNext, Qt::LeftButton);
    QTest::mouseClick(dialog.cmdInteraction, Qt::LeftButton);
    EXPECT_EQ(dialog.lstSteps->item(1)->text(), "Step 2: Var 4 (hp); Var 6 (wt) * Var 4 (hp)");
    EXPECT_TRUE(dialog.chkSlopes->isEnabled());
    EXPECT_TRUE(dialog.cmbFocal->isEnabled()) << "still checked";
    dialog.lstStepVariables->setCurrentRow(0, QItemSelectionModel::ClearAndSelect); // hp
    QTest::mouseClick(dialog.cmdRemove, Qt::LeftButton);
    EXPECT_EQ(dialog.lstSteps->item(1)->text(), "Step 2: (empty)");
    EXPECT_EQ(dialog.lstStepVariables->count(), 0);
    const HierarchicalRequest request = dialog.request();
    EXPECT_EQ(request.Steps, (std::vector<std::vector<std::int32_t>>{{6}}));
    EXPECT_TRUE(request.Products.empty());
    EXPECT_FALSE(request.Slopes.has_value());
    EXPECT_FALSE(dialog.chkSlopes->isEnabled());
    EXPECT_FALSE(dialog.cmdInteraction->isEnabled()) << "one predictor left";
    EXPECT_EQ(dialog.cmbFocal->count(), 1);
}

// The hierarchical dialog by keyboard: the dependent variable, step 1 and a
// categorical step 2 with another reference category, a run whose report
// agrees with R (iris: R^2 .013823 and .725907, F change 189.651 on 2 and 146),
// a refused request, and Escape stopping a long run.
TEST_F(DialogTest, TheHierarchicalDialogBuildsStepsAndRuns)
{
    const DataSet iris =
        *ImportDataFile(std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/iris.csv", Delimiter::Comma);
    frmHierarchical dialog(platform, iris, log, nullptr);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    // Every mnemonic reaches one control.
    std::set<QChar> mnemonics;
    for (const QWidget* w : dialog.findChildren<QWidget*>()) {
        const auto* label = qobject_cast<const QLabel*>(w);
        const auto* button = qobject_cast<const QAbstractButton*>(w);
        const QString text = label != nullptr ? label->text() : button != nullptr ? button->text() : QString();
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        if (at >= 0 && at + 1 < text.size()) {
            EXPECT_TRUE(mnemonics.insert(text[at + 1].toLower()).second) << text.toStdString();
        }
    }
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "There is no dependent variable.");

    dialog.cmbDependent->setFocus();
    QTest::keyClick(dialog.cmbDependent, Qt::Key_Down); // Var 1 (Sepal.Length)
    EXPECT_EQ(dialog.cmbDependent->currentIndex(), 0);
    EXPECT_EQ(dialog.lstVariables->item(0)->flags(), Qt::NoItemFlags) << "the dependent variable is not offered";
    dialog.lstVariables->setFocus();
    dialog.lstVariables->setCurrentRow(1, QItemSelectionModel::ClearAndSelect); // Sepal.Width
    EXPECT_EQ(dialog.cmdAdd->text(), "&Add to Step 1");
    QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.lstStepVariables->count() == 1; }, 5000));
    ASSERT_TRUE(dialog.cmdNext->isEnabled());
    QTest::mouseClick(dialog.cmdNext, Qt::LeftButton);
    EXPECT_EQ(dialog.currentStep(), 1);
    EXPECT_EQ(dialog.cmdAdd->text(), "&Add to Step 2");
    EXPECT_FALSE(dialog.cmdNext->isEnabled()) << "no step 3 before step 2 has variables";
    dialog.lstVariables->setCurrentRow(4, QItemSelectionModel::ClearAndSelect); // Species
    QTest::mouseClick(dialog.cmdAdd, Qt::LeftButton);
    dialog.lstStepVariables->setCurrentRow(0);
    ASSERT_TRUE(dialog.cmbReference->isEnabled());
    EXPECT_EQ(dialog.cmbReference->count(), 3);
    // The step's entry names the reference category: the first until another is chosen.
    EXPECT_EQ(dialog.lstSteps->item(1)->text(), "Step 2: Var 5 (Species): 3 categories (reference: setosa)");
    EXPECT_EQ(dialog.lstStepVariables->item(0)->text(), "Var 5 (Species): 3 categories (reference: setosa)");
    dialog.cmbReference->setFocus();
    QTest::keyClick(dialog.cmbReference, Qt::Key_End); // virginica
    EXPECT_EQ(dialog.lstSteps->item(1)->text(), "Step 2: Var 5 (Species): 3 categories (reference: virginica)");
    EXPECT_EQ(dialog.lstStepVariables->item(0)->text(), "Var 5 (Species): 3 categories (reference: virginica)");
    EXPECT_EQ(dialog.lstStepVariables->currentRow(), 0);
    EXPECT_EQ(dialog.lstSteps->item(0)->text(), "Step 1: Var 2 (Sepal.Width)"); // a number has none
    dialog.spnTrials->setValue(200);
    const HierarchicalRequest request = dialog.request();
    EXPECT_EQ(request.Steps, (std::vector<std::vector<std::int32_t>>{{2}, {5}}));
    EXPECT_EQ(request.ReferenceCategory.at(5), 3);

    QSignalSpy finished(&dialog, &frmHierarchical::runFinished);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_TRUE(finished.wait(60000) || finished.count() == 1);
    EXPECT_EQ(platform.messages.size(), 1u);
    const QString text = log.readAll();
    EXPECT_TRUE(text.startsWith("Results of Hierarchical Bootstrap Trials\r\n"));
    EXPECT_TRUE(text.contains("Step 2 adds: Var5 (Species): setosa, versicolor vs virginica\r\n"));
    EXPECT_TRUE(text.contains("\r\n1     0.01382  0.01382  200"));
    EXPECT_TRUE(text.contains("\r\n2     0.72591  0.71208  200"));
    EXPECT_TRUE(text.contains("  189.651   2    146  2.56E-41\r\n"));
    ASSERT_TRUE(dialog.lastResult().has_value());
    EXPECT_TRUE(dialog.cmdPlot->isEnabled());
    // A run without simple slopes has no moderation figures to offer.
    EXPECT_FALSE(dialog.cmdSlopesFigure->isEnabled());
    EXPECT_FALSE(dialog.cmdJohnsonNeymanFigure->isEnabled());
    EXPECT_EQ(dialog.txtSeed->text().toULongLong(), dialog.lastResult()->Seed);
    // The selected step's figure is offered under the step's name, for every export.
    for (const int row : {0, 1}) {
        dialog.lstSteps->setCurrentRow(row);
        platform.suggestedNames.clear();
        QTimer::singleShot(0, [&] {
            auto* figure = qobject_cast<frmDistribution*>(QApplication::activeModalWidget());
            ASSERT_NE(figure, nullptr);
            QTest::mouseClick(figure->cmdSavePNG, Qt::LeftButton); // cancelled: the fake gives no name
            QTest::mouseClick(figure->cmdSaveCSV, Qt::LeftButton);
            figure->cmdClose->click();
        });
        QTest::mouseClick(dialog.cmdPlot, Qt::LeftButton);
        const QString stem = QStringLiteral("hierarchical-step%1").arg(row + 1);
        EXPECT_EQ(platform.suggestedNames, QStringList({stem + ".png", stem + ".csv"}));
    }
    // Its APA results: a sentence per step, R's R^2 and F, and the table.
    QSettings().remove("apa/interval");
    QTest::mouseClick(dialog.cmdCopyAPA, Qt::LeftButton);
    const QString apa = platform.clipboard.value_or(QString());
    EXPECT_TRUE(apa.startsWith(QString::fromUtf8("In Step 1, Sepal.Width accounted for R\u00b2 = .01, 95% CI [")))
        << apa.toStdString();
    EXPECT_TRUE(
        apa.contains(QString::fromUtf8("Adding Species in Step 2 changed R\u00b2 to .73, \u0394R\u00b2 = .71")));
    EXPECT_TRUE(apa.contains("F(2, 146) = 189.65, p < .001 (percentile bootstrap, 200 resamples; Orvalis "));
    EXPECT_TRUE(platform.clipboardHtml.contains("<table"));

    // A long run stops on Escape, and nothing more is appended.
    std::vector<std::vector<float>> rows(300000, std::vector<float>(3));
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (auto& row : rows) {
        for (float& cell : row) {
            cell = value(random);
        }
    }
    const DataSet big = test::tableOf(rows);
    frmHierarchical longRun(platform, big, log, nullptr);
    longRun.show();
    longRun.cmbDependent->setCurrentIndex(0);
    longRun.lstVariables->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    longRun.cmdAdd_Click();
    longRun.spnTrials->setValue(100000);
    QSignalSpy stopped(&longRun, &frmHierarchical::runFinished);
    QTest::mouseClick(longRun.cmdOK, Qt::LeftButton);
    ASSERT_TRUE(longRun.running());
    QTest::keyClick(&longRun, Qt::Key_Escape);
    ASSERT_TRUE(stopped.wait(60000) || stopped.count() == 1);
    EXPECT_TRUE(longRun.isVisible());
    EXPECT_EQ(log.readAll(), text);
    EXPECT_EQ(platform.messages.size(), 1u);
}

// Relative Importance by keyboard: wt, hp and qsec each a unit, cyl and disp a
// named group, am a covariate; the request is that of --units hp,wt,qsec
// --group engine=cyl,disp --covariates am and the report the command line's;
// Plot shows the run's weights. Remove takes a unit and a covariate out again,
// and a numeric unit marked Categorical enters with its reference category.
TEST_F(DialogTest, TheDominanceWindowBuildsUnitsAndReportsAsTheCommandLineDoes)
{
    const std::string file = std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/mtcars.csv";
    const DataSet mtcars = *ImportDataFile(file, Delimiter::Comma);
    frmDominance dialog(platform, mtcars, log, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Relative Importance");
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    // Every mnemonic reaches one control.
    std::set<QChar> mnemonics;
    for (const QWidget* w : dialog.findChildren<QWidget*>()) {
        const auto* label = qobject_cast<const QLabel*>(w);
        const auto* button = qobject_cast<const QAbstractButton*>(w);
        const QString text = label != nullptr ? label->text() : button != nullptr ? button->text() : QString();
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        if (at >= 0 && at + 1 < text.size()) {
            EXPECT_TRUE(mnemonics.insert(text[at + 1].toLower()).second) << text.toStdString();
        }
    }
    EXPECT_FALSE(dialog.cmdPlot->isEnabled());

    // Alt+D, Down: mpg. Alt+V, then the variables; Alt+A adds each a unit of its own.
    QTest::keyClick(&dialog, Qt::Key_D, Qt::AltModifier);
    ASSERT_EQ(QApplication::focusWidget(), dialog.cmbDependent);
    QTest::keyClick(dialog.cmbDependent, Qt::Key_Down);
    EXPECT_EQ(dialog.cmbDependent->currentIndex(), 0);
    EXPECT_EQ(dialog.lstVariables->item(0)->flags(), Qt::NoItemFlags) << "the dependent variable is not offered";
    dialog.lstVariables->setCurrentRow(5, QItemSelectionModel::ClearAndSelect); // wt
    dialog.lstVariables->setCurrentRow(3, QItemSelectionModel::Select);         // hp
    dialog.lstVariables->setCurrentRow(6, QItemSelectionModel::Select);         // qsec
    QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.lstUnits->count() == 3; }, 5000));
    EXPECT_EQ(dialog.lstUnits->item(0)->text(), "Var 4 (hp)");
    EXPECT_EQ(dialog.lstVariables->item(5)->flags(), Qt::NoItemFlags) << "a unit is not offered again";

    // A group: its variables, Alt+N and its name, Alt+G.
    dialog.lstVariables->setCurrentRow(2, QItemSelectionModel::ClearAndSelect); // disp
    dialog.lstVariables->setCurrentRow(1, QItemSelectionModel::Select);         // cyl
    QTest::keyClick(&dialog, Qt::Key_N, Qt::AltModifier);
    ASSERT_EQ(QApplication::focusWidget(), dialog.txtGroupName);
    QTest::keyClicks(dialog.txtGroupName, "engine");
    QTest::keyClick(&dialog, Qt::Key_G, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.lstUnits->count() == 4; }, 5000));
    EXPECT_EQ(dialog.lstUnits->item(3)->text(), "engine: Var 2 (cyl), Var 3 (disp)");
    EXPECT_TRUE(dialog.txtGroupName->text().isEmpty());

    // A covariate and a second one, which Remove Covariate takes out again.
    dialog.lstVariables->setCurrentRow(8, QItemSelectionModel::ClearAndSelect); // am
    dialog.lstVariables->setCurrentRow(9, QItemSelectionModel::Select);         // gear
    QTest::keyClick(&dialog, Qt::Key_O, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.lstCovariates->count() == 2; }, 5000));
    dialog.lstCovariates->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    QTest::mouseClick(dialog.cmdRemoveCovariate, Qt::LeftButton);
    ASSERT_EQ(dialog.lstCovariates->count(), 1);
    EXPECT_EQ(dialog.lstCovariates->item(0)->text(), "Var 9 (am)");
    EXPECT_EQ(dialog.lstVariables->item(9)->flags(), Qt::ItemIsEnabled | Qt::ItemIsSelectable);

    // The tab order runs down the builder and on to the lists.
    dialog.cmdAddCovariate->setFocus();
    QTest::keyClick(dialog.cmdAddCovariate, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.lstUnits);

    DominanceRequest request = dialog.request();
    EXPECT_EQ(request.DependentVariable, 1);
    EXPECT_EQ(request.Units, (std::vector<std::int32_t>{4, 6, 7}));
    ASSERT_EQ(request.Groups.size(), 1u);
    EXPECT_EQ(request.Groups[0].name, "engine");
    EXPECT_EQ(request.Groups[0].variables, (std::vector<std::int32_t>{2, 3}));
    EXPECT_EQ(request.Covariates, (std::vector<std::int32_t>{9}));
    EXPECT_TRUE(request.Categorical.empty());

    dialog.spnTrials->setValue(200);
    dialog.txtSeed->setText("1");
    QSignalSpy finished(&dialog, &frmDominance::runFinished);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_TRUE(finished.wait(60000) || finished.count() == 1);
    EXPECT_TRUE(platform.messages.empty());
    const std::string report = cli::toUnixLineEnds(log.readAll().toStdString());
    EXPECT_NE(report.find("\nCovariates in every model: Var9 (am)\n"), std::string::npos) << report;
    EXPECT_EQ(report, cliReport({"--delimiter", "comma", file, "dominance", "--dv", "mpg", "--units", "hp,wt,qsec",
                                 "--group", "engine=cyl,disp", "--covariates", "am", "--trials", "200", "--seed",
                                 "1"}));
    ASSERT_TRUE(dialog.lastResult().has_value());
    EXPECT_EQ(dialog.lastResult()->units.size(), 4u);

    // Plot opens the figure of the run in its window.
    ASSERT_TRUE(dialog.cmdPlot->isEnabled());
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* figure = qobject_cast<frmDominanceFigure*>(QApplication::activeModalWidget());
        opened = figure != nullptr && figure->plotDominance->drawing().bars().size() == 4;
        if (figure != nullptr) {
            figure->cmdClose->click();
        }
    });
    QTest::mouseClick(dialog.cmdPlot, Qt::LeftButton);
    EXPECT_TRUE(opened);

    // Copy APA Results puts the command line's --format apa text on the clipboard, the table in HTML beside it.
    ASSERT_TRUE(dialog.cmdCopyAPA->isEnabled());
    QTest::mouseClick(dialog.cmdCopyAPA, Qt::LeftButton);
    EXPECT_EQ(
        platform.clipboard.value_or(QString()).toStdString(),
        cliReport({"--delimiter", "comma", file, "dominance", "--dv", "mpg", "--units", "hp,wt,qsec", "--group",
                   "engine=cyl,disp", "--covariates", "am", "--trials", "200", "--seed", "1", "--format", "apa"}));
    EXPECT_TRUE(platform.clipboardHtml.contains("<table"));

    // Remove Unit takes the selected unit out and offers its variable again.
    dialog.lstUnits->setCurrentRow(2, QItemSelectionModel::ClearAndSelect); // qsec
    QTest::mouseClick(dialog.cmdRemoveUnit, Qt::LeftButton);
    EXPECT_EQ(dialog.request().Units, (std::vector<std::int32_t>{4, 6}));
    EXPECT_EQ(dialog.lstVariables->item(6)->flags(), Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    // gear, a numeric unit of three values, marked Categorical with its third category the reference.
    dialog.lstVariables->setCurrentRow(9, QItemSelectionModel::ClearAndSelect);
    QTest::mouseClick(dialog.cmdAddUnit, Qt::LeftButton);
    dialog.lstUnits->setCurrentRow(2, QItemSelectionModel::ClearAndSelect);
    EXPECT_FALSE(dialog.cmbReference->isEnabled());
    ASSERT_TRUE(dialog.chkCategorical->isEnabled());
    dialog.chkCategorical->click();
    ASSERT_TRUE(dialog.cmbReference->isEnabled());
    ASSERT_EQ(dialog.cmbReference->count(), 3);
    dialog.cmbReference->setFocus();
    QTest::keyClick(dialog.cmbReference, Qt::Key_End);
    request = dialog.request();
    EXPECT_EQ(request.Units, (std::vector<std::int32_t>{4, 6, 10}));
    EXPECT_EQ(request.Categorical, (std::set<std::int32_t>{10}));
    EXPECT_EQ(request.ReferenceCategory, (std::map<std::int32_t, std::int32_t>{{10, 3}}));
    EXPECT_EQ(dialog.lstUnits->item(2)->text(), "Var 10 (gear): 3 categories (reference: 5)");
}

// A request the analysis refuses (one unit) is shown as the other windows
// show theirs, and nothing runs: no log, no figure.
TEST_F(DialogTest, TheDominanceWindowShowsARefusalAndRunsNothing)
{
    const DataSet mtcars =
        *ImportDataFile(std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/mtcars.csv", Delimiter::Comma);
    frmDominance dialog(platform, mtcars, log, nullptr);
    dialog.cmbDependent->setCurrentIndex(0);
    dialog.lstVariables->setCurrentRow(5, QItemSelectionModel::ClearAndSelect);
    QTest::mouseClick(dialog.cmdAddUnit, Qt::LeftButton);
    ASSERT_EQ(dialog.request().Units, (std::vector<std::int32_t>{6}));
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text,
              "A dominance analysis compares 2 to 12 units (predictors or groups), and there are 1.");
    EXPECT_EQ(platform.messages[0].title, "Analysis Error");
    EXPECT_FALSE(dialog.running());
    EXPECT_TRUE(dialog.txtSeed->text().isEmpty()) << "no seed was drawn";
    EXPECT_TRUE(log.readAll().isEmpty());
    EXPECT_FALSE(dialog.lastResult().has_value());
    EXPECT_FALSE(dialog.cmdPlot->isEnabled());
}

// A long relative importance run (n = 300,000) stops on Escape; the window stays, and nothing is appended.
TEST_F(DialogTest, TheDominanceWindowStopsALongRunOnEscape)
{
    std::vector<std::vector<float>> rows(300000, std::vector<float>(3));
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (auto& row : rows) {
        for (float& cell : row) {
            cell = value(random);
        }
    }
    const DataSet big = test::tableOf(rows);
    frmDominance dialog(platform, big, log, nullptr);
    dialog.show();
    dialog.cmbDependent->setCurrentIndex(0);
    dialog.lstVariables->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    dialog.lstVariables->setCurrentRow(2, QItemSelectionModel::Select);
    QTest::mouseClick(dialog.cmdAddUnit, Qt::LeftButton);
    ASSERT_EQ(dialog.request().Units, (std::vector<std::int32_t>{2, 3}));
    dialog.spnTrials->setValue(100000);
    QSignalSpy stopped(&dialog, &frmDominance::runFinished);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    ASSERT_TRUE(dialog.running());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    ASSERT_TRUE(stopped.wait(60000) || stopped.count() == 1);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(log.readAll().isEmpty());
    EXPECT_FALSE(dialog.lastResult().has_value());
}

// An unnamed group takes the first "Group N" no group has, so that removing one
// never leaves two of a name; a name typed twice is refused when the group is added.
TEST_F(DialogTest, TheDominanceWindowNamesGroupsOnce)
{
    const DataSet mtcars =
        *ImportDataFile(std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/mtcars.csv", Delimiter::Comma);
    frmDominance dialog(platform, mtcars, log, nullptr);
    dialog.cmbDependent->setCurrentIndex(0);
    auto addGroup = [&](int row, const QString& name) {
        dialog.lstVariables->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        dialog.txtGroupName->setText(name);
        QTest::mouseClick(dialog.cmdAddGroup, Qt::LeftButton);
    };
    auto names = [&] {
        std::vector<std::string> all;
        for (const DominanceGroup& group : dialog.request().Groups) {
            all.push_back(group.name);
        }
        return all;
    };
    addGroup(1, {});
    addGroup(2, {});
    EXPECT_EQ(names(), (std::vector<std::string>{"Group 1", "Group 2"}));
    dialog.lstUnits->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    QTest::mouseClick(dialog.cmdRemoveUnit, Qt::LeftButton);
    addGroup(3, {});
    EXPECT_EQ(names(), (std::vector<std::string>{"Group 2", "Group 1"}));
    EXPECT_TRUE(platform.messages.empty());
    addGroup(4, "Group 2");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "Two groups are named Group 2.");
    EXPECT_EQ(names().size(), 2u);
    EXPECT_EQ(dialog.lstVariables->selectedItems().size(), 1) << "the selection stays for another name";
}

} // namespace
} // namespace orvalis
