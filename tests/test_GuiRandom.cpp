// A seeded random walk through the real windows with simulated input: the program stays alive, and
// nothing the user did not ask for changes the log or the data set.
//
// ORVALIS_GUI_SECONDS sets how long it walks (default 5; CI runs it for 20 under
// the sanitizers); ORVALIS_GUI_SEED replays a walk. The seed is printed with
// every failure, together with the last steps taken.
#include "FakePlatform.h"
#include "MainWindowControls.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "data/DataImport.h"
#include "platform/QtPlatform.h"
#include "ui/DirectoryList.h"
#include "ui/FileList.h"
#include "ui/OutputFiles.h"
#include "ui/frmDescriptives.h"
#include "ui/frmDistribution.h"
#include "ui/frmESBootstrap.h"
#include "ui/frmMain.h"
#include "ui/frmNavigate.h"
#include "ui/frmOpenOutput.h"
#include "ui/frmSaveOutput.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QSettings>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>

namespace orvalis {
namespace {

using test::ui;

// Message boxes answered from the test's queue, the clipboard the real one.
class WalkPlatform : public test::FakePlatform {
public:
    void clearClipboard() override { m_qt.clearClipboard(); }
    void setClipboardText(const QString& text) override { m_qt.setClipboardText(text); }
    QString clipboardText() override { return m_qt.clipboardText(); }

private:
    QtPlatform m_qt;
};

// What a step may change.
enum class May { Nothing, AppendToLog, ChangeLog, Import, OpenLog };

// A data set reduced to a number that any change of a count or a cell changes.
std::uint64_t fingerprint(const DataSet& data)
{
    std::uint64_t hash = 1469598103934665603ull;
    auto mix = [&](std::uint64_t value) { hash = (hash ^ value) * 1099511628211ull; };
    mix(data.hasStorage() ? 1 : 0);
    mix(static_cast<std::uint64_t>(data.NumCases()));
    mix(static_cast<std::uint64_t>(data.NumVariables()));
    if (data.hasStorage()) {
        for (std::int32_t r = 0; r <= data.NumCases(); ++r) {
            for (std::int32_t c = 0; c <= data.NumVariables(); ++c) {
                const float value = data.DataTable(r, c);
                std::uint32_t bits = 0;
                std::memcpy(&bits, &value, sizeof bits);
                mix(bits);
            }
        }
    }
    return hash;
}

class RandomWalk {
public:
    RandomWalk(std::uint64_t seed, const QString& sandbox) : m_random(seed), m_sandbox(sandbox)
    {
        m_window = std::make_unique<frmMain>(m_platform);
        test::startPastSplash(*m_window);
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
    }

    // One step on the main window; returns false once a check has failed.
    bool step()
    {
        const QString logBefore = m_window->outputLog().readAll();
        const std::uint64_t dataBefore = fingerprint(m_window->dataSet());
        m_platform.answers.clear();
        m_platform.messages.clear();
        m_expectedOpen.reset();
        const May may = randomAction();
        QApplication::processEvents();
        m_warnings += static_cast<int>(m_platform.messages.size());
        return checkAfter(may, logBefore, dataBefore);
    }

    // What the walk did, for the line printed at its end.
    std::string tally() const
    {
        return std::to_string(m_imports) + " imports, " + std::to_string(m_reports) + " reports, "
               + std::to_string(m_saves) + " saves, " + std::to_string(m_opens) + " opened logs, "
               + std::to_string(m_warnings) + " warnings";
    }

    std::string history() const
    {
        std::ostringstream text;
        for (const std::string& entry : m_history) {
            text << "  " << entry << "\n";
        }
        return text.str();
    }

private:
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    bool chance(double p) { return std::bernoulli_distribution(p)(m_random); }

    void note(const std::string& what)
    {
        m_history.push_back(what);
        if (m_history.size() > 25) {
            m_history.pop_front();
        }
    }

    static void click(QWidget* widget)
    {
        if (widget->isVisible() && widget->isEnabled()) {
            QTest::mouseClick(widget, Qt::LeftButton);
        }
    }

    void clickItem(QListWidget* list, int row, bool twice = false)
    {
        QListWidgetItem* item = list->item(row);
        list->scrollToItem(item);
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        if (twice) {
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        }
    }

    // Clicks an item and presses Space, which toggles its check box.
    void toggleRandomItem(QListWidget* list)
    {
        if (list->count() == 0) {
            return;
        }
        clickItem(list, below(list->count()));
        QTest::keyClick(list, Qt::Key_Space);
    }

    // A double click on an entry of a directory list inside the sandbox.
    void openRandomDirectory(DirectoryList* list)
    {
        std::vector<int> inside;
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->data(Qt::UserRole).toString().startsWith(m_sandbox)) {
                inside.push_back(row);
            }
        }
        if (!inside.empty()) {
            clickItem(list, inside[static_cast<std::size_t>(below(static_cast<int>(inside.size())))], true);
        }
    }

    void typeIntoLog()
    {
        QPlainTextEdit* box = ui(*m_window).txtOutput;
        box->setFocus();
        // The pane's own clipboard keys, selection and movement, and text.
        struct Chord {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
        };
        const Chord chords[] = {
            {Qt::Key_V, Qt::ControlModifier},    {Qt::Key_Insert, Qt::ShiftModifier}, {Qt::Key_C, Qt::ControlModifier},
            {Qt::Key_X, Qt::ControlModifier},    {Qt::Key_A, Qt::ControlModifier},    {Qt::Key_Return, Qt::NoModifier},
            {Qt::Key_Left, Qt::ShiftModifier},   {Qt::Key_Right, Qt::NoModifier},     {Qt::Key_Up, Qt::ShiftModifier},
            {Qt::Key_Down, Qt::NoModifier},      {Qt::Key_Home, Qt::NoModifier},      {Qt::Key_End, Qt::ShiftModifier},
            {Qt::Key_Backspace, Qt::NoModifier}, {Qt::Key_Delete, Qt::NoModifier},
        };
        for (int k = 1 + below(12); k > 0; --k) {
            if (chance(0.6)) {
                const Chord& chord = chords[below(static_cast<int>(std::size(chords)))];
                QTest::keyClick(box, chord.key, chord.modifiers);
            } else {
                QTest::keyClicks(box, QString::fromLatin1("ab 1.5\tZ").mid(below(8), 1 + below(3)));
            }
        }
    }

    // Triggers an action that may show a modal dialog of type Dialog and runs
    // script inside it once its event loop is running. A dialog the script
    // leaves open is a failure (and is hidden, so that the walk goes on).
    template <typename Dialog>
    void inModal(QAction* action, std::function<void(Dialog*)> script)
    {
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible()) {
                return;
            }
            poll.stop();
            script(dialog);
            if (dialog->isVisible()) {
                m_failure = std::string("the dialog ") + Dialog::staticMetaObject.className()
                            + " stayed open after its last step" + (dialog->isEnabled() ? "" : " (disabled)");
                dialog->hide();
            }
        });
        poll.start();
        action->trigger();
    }

    // Ends a dialog the way a user might: its Cancel button, or its close box.
    void leave(QWidget* dialog, QPushButton* cancel)
    {
        if (cancel != nullptr && chance(0.7)) {
            click(cancel);
        } else {
            dialog->close();
        }
    }

    May randomAction()
    {
        frmMain& w = *m_window;
        switch (below(16)) {
        case 0: {
            note("pick a data file");
            if (ui(w).filFile->count() > 0) {
                clickItem(ui(w).filFile, below(ui(w).filFile->count()));
            }
            return May::Nothing;
        }
        case 1: {
            note("choose a delimiter or file type");
            if (chance(0.7)) {
                QRadioButton* options[] = {ui(w).optSpace, ui(w).optComma, ui(w).optTab};
                click(options[below(3)]);
            } else {
                ui(w).cmbFileType->setFocus();
                QTest::keyClick(ui(w).cmbFileType, chance(0.5) ? Qt::Key_Down : Qt::Key_Up);
            }
            return May::Nothing;
        }
        case 2:
            note("open a directory");
            openRandomDirectory(ui(w).dirDirectory);
            return May::Nothing;
        case 3:
        case 4:
            if (chance(0.2)) {
                // Cancelled before its end is handled: nothing changes, whatever the reading gives.
                note("import " + w.selectedFileName().toStdString() + " and cancel it");
                click(ui(w).cmdImportData);
                if (w.importing()) {
                    click(test::control<QPushButton>(w, "cmdCancelImport"));
                }
                if (w.importing()) {
                    m_failure = "Cancel left the import running";
                }
                return May::Nothing;
            }
            note("import " + w.selectedFileName().toStdString());
            click(ui(w).cmdImportData);
            if (!test::waitForImport(w)) {
                m_failure = "the import did not end";
            }
            return May::Import;
        case 5:
            note("type into the log");
            typeIntoLog();
            return May::ChangeLog;
        case 6: {
            QAction* commands[] = {ui(w).mnuCopy, ui(w).mnuCut, ui(w).mnuPaste};
            QAction* command = commands[below(3)];
            const bool onLog = chance(0.5);
            note("Edit > " + command->text().toStdString() + (onLog ? " in the log" : " elsewhere"));
            (onLog ? static_cast<QWidget*>(ui(w).txtOutput) : ui(w).cmdImportData)->setFocus();
            command->trigger();
            return onLog ? May::ChangeLog : May::Nothing;
        }
        case 7:
            if (chance(0.3)) {
                note("Edit > Clear Output");
                ui(w).mnuClearOutput->trigger();
                return May::ChangeLog;
            }
            note("move the focus");
            QTest::keyClick(QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &w, Qt::Key_Tab);
            return May::Nothing;
        case 8:
            note("navigate the data");
            inModal<frmNavigate>(ui(w).mnuNavigateDataFile, [this](frmNavigate* navigator) {
                QPushButton* arrows[] = {navigator->cmdUp, navigator->cmdDown, navigator->cmdLeft, navigator->cmdRight};
                for (int k = below(10); k > 0; --k) {
                    click(arrows[below(4)]);
                }
                if (chance(0.5)) {
                    QTest::keyClick(navigator, Qt::Key_Escape);
                } else {
                    navigator->close();
                }
            });
            return May::Nothing;
        case 9:
            note("descriptives");
            inModal<frmDescriptives>(ui(w).mnuDescriptives, [this](frmDescriptives* dialog) {
                for (int k = below(5); k > 0; --k) {
                    if (chance(0.2)) {
                        click(chance(0.5) ? dialog->optRanges : dialog->optIndividual);
                    } else {
                        toggleRandomItem(dialog->lstItems);
                    }
                }
                if (chance(0.6)) {
                    click(dialog->cmdOK);
                }
                if (dialog->isVisible()) {
                    leave(dialog, dialog->cmdCancel);
                }
            });
            return May::AppendToLog;
        case 10:
            note("bootstrap");
            inModal<frmESBootstrap>(ui(w).mnuESBootstrap, [this](frmESBootstrap* dialog) { driveBootstrap(dialog); });
            return May::AppendToLog;
        case 11:
            note("save the output");
            inModal<frmSaveOutput>(ui(w).mnuSaveOutput, [this](frmSaveOutput* dialog) { driveSave(dialog); });
            return May::Nothing;
        case 12:
            note("open an output file");
            inModal<frmOpenOutput>(ui(w).mnuOpenOutput, [this](frmOpenOutput* dialog) { driveOpen(dialog); });
            return May::OpenLog;
        case 13: {
            // Never an answer that ends the program.
            const std::vector<Platform::Answer> choices[] = {
                {Platform::Answer::No}, {Platform::Answer::Cancel}, {Platform::Answer::Yes, Platform::Answer::Cancel}};
            const std::vector<Platform::Answer>& chosen = choices[below(3)];
            m_platform.answers.assign(chosen.begin(), chosen.end());
            if (chance(0.5)) {
                note("File > Exit, answered without leaving");
                ui(w).mnuExit->trigger();
            } else {
                note("the close box, answered without leaving");
                w.close();
            }
            return May::Nothing;
        }
        case 14: {
            auto* distribution = test::control<QAction>(w, "mnuBootstrapDistribution");
            if (distribution == nullptr || !distribution->isEnabled()) {
                return May::Nothing;
            }
            note("the bootstrap distribution, then Copy and Close or the close box");
            inModal<frmDistribution>(distribution, [this](frmDistribution* window) {
                if (chance(0.5)) {
                    click(window->cmdCopy);
                }
                leave(window, window->cmdClose);
            });
            return May::Nothing;
        }
        default:
            note("click in the log");
            QTest::mouseClick(ui(w).txtOutput->viewport(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(1 + below(200), 1 + below(100)));
            return May::Nothing;
        }
    }

    void driveBootstrap(frmESBootstrap* dialog)
    {
        for (int k = below(7); k > 0; --k) {
            switch (below(5)) {
            case 0:
                toggleRandomItem(dialog->lstDV);
                break;
            case 1:
                toggleRandomItem(dialog->lstPredictors);
                break;
            case 2:
                toggleRandomItem(dialog->lstAdded);
                break;
            case 3:
                click(dialog->optTrials[0]); // 600 trials keep the walk quick
                break;
            default: {
                QRadioButton* levels[] = {dialog->opt90CI, dialog->opt95CI, dialog->opt99CI};
                click(levels[below(3)]);
            }
            }
        }
        if (chance(0.2)) {
            click(dialog->chkAddedBlock); // a block of added predictors, or back to one
        }
        click(dialog->optTrials[0]);
        // Sometimes Cancel right after OK: the run stops, or has already ended.
        const bool stop = chance(0.2);
        if (chance(0.7) && !test::pressAndWait(dialog->cmdOK, dialog, &frmESBootstrap::runFinished, [&] {
                click(dialog->cmdOK);
                if (stop) {
                    click(dialog->cmdCancel);
                }
            })) {
            m_failure = "the bootstrap run did not end within a minute";
        }
        if (dialog->isVisible()) {
            leave(dialog, dialog->cmdCancel);
        }
    }

    void driveSave(frmSaveOutput* dialog)
    {
        if (chance(0.3)) {
            openRandomDirectory(dialog->dirDirectory);
        }
        if (chance(0.4) && dialog->filFile->count() > 0) {
            clickItem(dialog->filFile, below(dialog->filFile->count())); // an existing file
        } else {
            const QString names[] = {"out", "out.txt", "notes.TXT", "   ", "", "sub/x", "good.txt"};
            dialog->txtSavedFileName->clear();
            QTest::keyClicks(dialog->txtSavedFileName, names[below(7)]);
        }
        const Platform::Answer replace = chance(0.5) ? Platform::Answer::Yes : Platform::Answer::No;
        m_platform.answers = {replace};
        const QString path = frmSaveOutput::savePath(dialog->filFile->path(), dialog->txtSavedFileName->text());
        dialog->resetFileWritten();
        click(dialog->cmdSave);
        if (dialog->fileWritten()) {
            ++m_saves;
            QFile written(path);
            const bool read = written.open(QIODevice::ReadOnly);
            if (!read || written.readAll() != m_window->outputLog().readAll().toUtf8()) {
                m_failure = "the saved file " + path.toStdString() + " does not hold the log";
            }
        }
        if (dialog->isVisible()) {
            leave(dialog, dialog->cmdCancel);
        }
    }

    void driveOpen(frmOpenOutput* dialog)
    {
        if (chance(0.3)) {
            openRandomDirectory(dialog->dirDirectory);
        }
        if (dialog->filFile->count() > 0 && chance(0.8)) {
            clickItem(dialog->filFile, below(dialog->filFile->count()));
        }
        QFile chosen(dialog->filFile->path() + QLatin1Char('/') + dialog->lblSelectedFile->text());
        if (!dialog->lblSelectedFile->text().isEmpty() && chosen.open(QIODevice::ReadOnly)) {
            m_expectedOpen = logTextFromFile(chosen.readAll());
        }
        if (chance(0.8) && !test::pressAndWait(dialog->cmdOpen, dialog, &frmOpenOutput::openFinished, [&] {
                click(dialog->cmdOpen);
            })) {
            m_failure = "opening an output file did not end within a minute";
        }
        if (dialog->isVisible()) {
            leave(dialog, dialog->cmdCancel);
        }
    }

    bool fail(const std::string& what)
    {
        ADD_FAILURE() << what << "\nlast steps:\n" << history();
        return false;
    }

    bool checkAfter(May may, const QString& logBefore, std::uint64_t dataBefore)
    {
        frmMain& w = *m_window;
        if (!m_failure.empty()) {
            return fail(m_failure);
        }
        if (!w.isVisible() || w.leaving()) {
            return fail("the main window closed");
        }
        if (QApplication::activeModalWidget() != nullptr) {
            return fail("a dialog stayed open");
        }
        const QString log = w.outputLog().readAll();
        const bool dataChanged = fingerprint(w.dataSet()) != dataBefore;
        if (dataChanged && may != May::Import) {
            return fail("the data set changed");
        }
        switch (may) {
        case May::Nothing:
            if (log != logBefore) {
                return fail("the log changed");
            }
            break;
        case May::AppendToLog:
            if (!log.startsWith(logBefore)) {
                return fail("the log changed other than by an appended report");
            }
            m_reports += log.size() > logBefore.size() ? 1 : 0;
            break;
        case May::Import: {
            // A refused import warns and changes nothing; one that succeeds
            // appends its summary (even when the data are the same as before).
            const bool refused = !m_platform.messages.empty();
            if (refused && dataChanged) {
                return fail("a refused import changed the data set");
            }
            const QString expected = refused ? logBefore
                                             : logBefore
                                                   + QString::fromStdString(FormatImportSummary(
                                                       w.selectedFileName().toStdString(), w.dataSet()));
            if (log != expected) {
                return fail("the import changed the log other than by its summary");
            }
            m_imports += refused ? 0 : 1;
            break;
        }
        case May::OpenLog:
            if (log != logBefore && (!m_expectedOpen || log != *m_expectedOpen)) {
                return fail("Open Output left a log that is neither the old one nor the file's");
            }
            m_opens += m_expectedOpen && log == *m_expectedOpen ? 1 : 0;
            break;
        case May::ChangeLog:
            break;
        }
        return true;
    }

    std::mt19937_64 m_random;
    QString m_sandbox;
    WalkPlatform m_platform;
    std::unique_ptr<frmMain> m_window;
    std::deque<std::string> m_history;
    std::optional<QString> m_expectedOpen;
    std::string m_failure;
    int m_imports = 0;
    int m_reports = 0;
    int m_saves = 0;
    int m_opens = 0;
    int m_warnings = 0;
};

TEST(GuiRandomWalk, TheProgramSurvivesAndChangesOnlyWhatTheUserAsksFor)
{
    const QByteArray seedText = qgetenv("ORVALIS_GUI_SEED");
    const std::uint64_t seed = seedText.isEmpty() ? std::random_device{}() : seedText.toULongLong();
    const QByteArray secondsText = qgetenv("ORVALIS_GUI_SECONDS");
    const double seconds = secondsText.isEmpty() ? 5.0 : secondsText.toDouble();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with ORVALIS_GUI_SEED=" + std::to_string(seed) + ")");

    // Everything the walk can reach lives in a sandbox: good and bad data
    // files, output files, a subdirectory.
    test::TempDir dir;
    std::string good;
    std::mt19937 values(7);
    for (int r = 0; r < 30; ++r) {
        for (int c = 0; c < 4; ++c) {
            good += std::to_string(values() % 1000 / 10.0) + (c < 3 ? " " : "\r\n");
        }
    }
    dir.write("good.txt", good);
    dir.write("comma.txt", "1,2,3\n4,,6\n7,8,9\n2,4,1\n");
    dir.write("bad.txt", "1 2\n3 x\n");
    dir.write("bom.txt", "\xEF\xBB\xBF"
                         "1 2\r\n3 4\r\n5 7\r\n");
    dir.write("wide.txt", std::string("\xFF\xFE"
                                      "1\0 \0"
                                      "2\0",
                                      8));
    dir.write("empty.txt", "");
    dir.write("line\nbreak.txt", "1 2\n2 3\n3 5\n");
    dir.write("report.txt", "Earlier report\r\n\r\n");
    dir.write("sub/inner.txt", "5 6 7\n8 9 1\n2 2 2\n");
    const QString sandbox = QDir(QString::fromStdString(dir.path().string())).canonicalPath();
    const QString previous = QDir::currentPath();
    QDir::setCurrent(sandbox);
    // The main window's picker starts in the directory used last.
    QSettings().setValue("picker/directory", sandbox);

    {
        RandomWalk walk(seed, sandbox);
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        int steps = 0;
        while (std::chrono::steady_clock::now() < end && walk.step()) {
            ++steps;
        }
        std::printf("%d steps in %.0f s (%s), seed %llu\n", steps, seconds, walk.tally().c_str(),
                    static_cast<unsigned long long>(seed));
    }
    QDir::setCurrent(previous);
}

} // namespace
} // namespace orvalis
