// frmMain: the main window with the data-file picker, the import, the output log and the menus.
#pragma once

#include "data/DataImport.h"
#include "data/DataSet.h"
#include "ui/OutputLog.h"
#include "ui/frmDescriptives.h"
#include "ui/frmESBootstrap.h"
#include "ui/frmDominance.h"
#include "ui/frmHierarchical.h"
#include "ui/frmOpenOutput.h"
#include "ui/frmPlan.h"
#include "ui/frmSaveOutput.h"
#include "ui/frmSplash.h"
#include "ui/frmUserGuide.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace orvalis {

class DirectoryList;
class ElidedLabel;
class DriveList;
class FileList;
class Platform;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(Platform& platform, QWidget* parent = nullptr);
    ~frmMain() override;

    // The start-up sequence: shows the splash and returns. When the splash
    // closes (after two seconds, or earlier on a key or a click on it), the
    // file-type list is filled and the main window is shown. Call once.
    void Form_Load();

    // Selects a data file in the picker (its directory and name), ready to
    // import: the file the program was started with. Before the splash has
    // closed, the selection waits for it. A file that is not there is warned of.
    void selectDataFile(const QString& path);

    // The imported data set (no storage before the first import).
    const DataSet& dataSet() const { return m_dataSet; }
    OutputLog& outputLog() { return m_outputLog; }
    // The full path of the data file picked last; empty until the first pick.
    const QString& selectedFileName() const { return m_strFileName; }
    // Whether the decision to leave the program has been taken.
    bool leaving() const { return m_lngUnloadProgram == 1; }

    // The analysis dialogs, created on first use and discarded by an import.
    frmDescriptives* descriptivesDialog() const { return m_frmDescriptives; }
    frmESBootstrap* esBootstrapDialog() const { return m_frmESBootstrap; }
    frmHierarchical* hierarchicalDialog() const { return m_frmHierarchical; }
    frmDominance* dominanceDialog() const { return m_frmDominance; }
    frmPlan* planDialog() const { return m_frmPlan; }
    frmSaveOutput* saveOutputDialog() const { return m_frmSaveOutput; }
    frmOpenOutput* openOutputDialog() const { return m_frmOpenOutput; }
    // The splash while it is shown (null before and after).
    frmSplash* splash() const { return m_frmSplash; }

    // The layout rules of the main window (design values in twips).
    void Form_Resize();

    // Where the rules put the frames and the log (in twips, the log relative to
    // its frame) for a window of the given outer size; windowHeight is the
    // height after the snap to the least height of 7000.
    struct Layout {
        int windowHeight;
        QRect fraSelectData;
        QRect fraOutput;
        QRect txtOutput;
    };
    static Layout layoutFor(int windowWidth, int windowHeight);

    // Whether an import is reading its file (from cmdImportData_Click until it
    // ends or is cancelled).
    bool importing() const { return m_import != nullptr; }
    // The reading options of the imports that follow (tests make the reading
    // wait between its passes); the window's own are the defaults.
    void setImportOptions(ImportOptions options) { m_importOptions = std::move(options); }

    // Handlers.
    // Reads the picked file away from the window's thread, with the status
    // bar saying so and the commands that use the data disabled; the data,
    // the log and the settings change (or the refusal is shown) only when the
    // reading ends. One import at a time.
    void cmdImportData_Click();
    // Stops waiting for the import: the data and the log stay as they were,
    // and what the reading gives when it ends is dropped.
    void cmdCancelImport_Click();
    void cmbFileType_Click(int index);
    void drvDrive_Change(int index);
    void dirDirectory_Change(const QString& path);
    void filFile_Click(const QString& name);
    void mnuCut_Click();
    void mnuCopy_Click();
    void mnuPaste_Click();
    void mnuClearOutput_Click();
    void mnuNavigateDataFile_Click();
    void mnuDescriptives_Click();
    void mnuESBootstrap_Click();
    void mnuHierarchical_Click();
    void mnuDominance_Click();
    void mnuPlan_Click();
    void mnuBootstrapDistribution_Click();
    // Analyses > Copy APA Results (as Markdown): the last run's sentence and table.
    void mnuCopyAPA_Click(bool markdown);
    void mnuOpenOutput_Click();
    void mnuSaveOutput_Click();
    void mnuExit_Click();
    // Help > About Orvalis: the version, the licence and the libraries.
    void mnuAbout_Click();
    // Help > User Guide (F1): the guide installed with the program, in a
    // window of the program's own (one, brought forward when open already).
    void mnuUserGuide_Click();
    // The user guide's window once it has been opened (null before).
    frmUserGuide* userGuideWindow() const { return m_frmUserGuide; }
    // The user guide's HTML file, or the empty text when it is not installed.
    static QString userGuidePath();
    // Where the window starts: the design's size, smaller where the screen's
    // available area (less a frame) has less room (never below the least
    // height), centred in that area.
    static QRect startGeometry(QSize design, QRect available);

signals:
    // An import started by cmdImportData_Click has ended: the data replaced,
    // a refusal shown, or the import cancelled.
    void importFinished();

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Sends the log's own paste keys (Ctrl+V, Shift+Insert) through mnuPaste_Click.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The delimiter option buttons and the delimiter each stands for, top to bottom.
    std::array<std::pair<QRadioButton*, Delimiter>, 5> delimiterOptions() const;
    // Builds the controls and returns the log's text box.
    QPlainTextEdit* buildControls();
    void buildMenus();
    // The status bar's label, busy bar and Cancel of an import, hidden.
    void buildImportStatus();
    void setTabOrder();
    // The rest of the start-up, once the splash has closed.
    void splashClosed();
    void selectPendingFile();
    // Shows "Save Output" and tells whether a file was written.
    bool saveOutput();
    // The exit dialogue; sets m_lngUnloadProgram to 1 when the program is to end.
    void exitDialogue();
    // The focus condition of the Edit commands: the log is the focused control.
    bool focusOnLog() const;
    void discardAnalysisDialogs();
    // What an import on a worker thread shares with the window.
    struct ImportRun;
    // The reading has ended: the outcome goes to the data and the log, as it
    // always has.
    void importEnded(QFutureWatcher<ImportOutcome>* watcher, const std::shared_ptr<ImportRun>& run);
    // Shows the import's state: the status bar with its busy bar and Cancel,
    // and the commands that must not run meanwhile disabled (or the reverse).
    void showImporting(bool on);
    // Shows the sheet chooser for a reading that asks, on the window's thread,
    // and hands the answer back to it.
    void answerSheetQuestion(ImportRun& run, const std::vector<std::string>& sheets);
    // Creates the dialog in slot on first use (make), shows it modally, hands
    // it to afterExec, and destroys it when its close box closed it.
    template <typename Dialog, typename Make, typename AfterExec>
    void showDialog(QPointer<Dialog>& slot, Make&& make, AfterExec&& afterExec);
    // The same for a dialog over the imported data: discardAnalysisDialogs
    // throws it away when another file is imported, so that no dialog keeps
    // controls (a variable list) of data that are gone.
    template <typename Dialog, typename Make, typename AfterExec>
    void showDataDialog(QPointer<Dialog>& slot, Make&& make, AfterExec&& afterExec);

    // Controls, named as in the design.
    QGroupBox* fraSelectData = nullptr;
    DirectoryList* dirDirectory = nullptr;
    FileList* filFile = nullptr;
    DriveList* drvDrive = nullptr;
    ElidedLabel* lblSelectedFile = nullptr;
    QPushButton* cmdImportData = nullptr;
    QLabel* lblSelectedFileLabel = nullptr;
    QGroupBox* fraTypeOfDelimiter = nullptr;
    QRadioButton* optSpace = nullptr;
    QRadioButton* optComma = nullptr;
    QRadioButton* optTab = nullptr;
    QRadioButton* optSemicolon = nullptr;
    QRadioButton* optDetect = nullptr;
    QLabel* lblCurrentFileLabel = nullptr;
    ElidedLabel* lblCurrentFile = nullptr;
    QComboBox* cmbFileType = nullptr;
    // The status bar while an import reads: what it reads, a busy bar, Cancel.
    QLabel* lblImporting = nullptr;
    QProgressBar* prgImport = nullptr;
    QPushButton* cmdCancelImport = nullptr;
    QGroupBox* fraOutput = nullptr;
    QPlainTextEdit* txtOutput = nullptr;

    QAction* mnuOpenOutput = nullptr;
    QAction* mnuSaveOutput = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuCut = nullptr;
    QAction* mnuCopy = nullptr;
    QAction* mnuPaste = nullptr;
    QAction* mnuClearOutput = nullptr;
    QAction* mnuNavigateDataFile = nullptr;
    QAction* mnuDescriptives = nullptr;
    QAction* mnuESBootstrap = nullptr;
    QAction* mnuHierarchical = nullptr;
    QAction* mnuDominance = nullptr;
    QAction* mnuPlan = nullptr;
    QAction* mnuBootstrapDistribution = nullptr;
    QAction* mnuCopyAPA = nullptr;
    QAction* mnuCopyAPAMarkdown = nullptr;
    // Analyses > APA Interval: percentile, modified, BCa (one checked).
    std::vector<QAction*> mnuAPAInterval; // one per interval the APA texts can name
    // Analyses > APA Coefficient Column: B's interval or sr² (one checked).
    std::vector<QAction*> mnuAPACoefficientColumn;
    // Analyses > Robust F Test: HC3, HC4, and whether the modified limit follows it.
    std::array<QAction*, 2> mnuRobust{};
    QAction* mnuModifiedFollowsRobust = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuUserGuide = nullptr;

    // The full path of the data file picked last, and of the one imported.
    QString m_strFileName;
    QString m_strImportedFile;
    // How it was read: the delimiter's word (none for a file that is not
    // delimited text) and the sheet chosen from a workbook, for the command
    // line in a run's record.
    std::optional<std::string> m_importedDelimiter;
    std::string m_importedSheet;
    // The file to select once the start-up is done.
    QString m_pendingFile;
    // 1 once the decision to leave the program is taken.
    std::int32_t m_lngUnloadProgram = 0;

    Platform& m_platform;
    DataSet m_dataSet;
    OutputLog m_outputLog;
    // Every dialog showDataDialog made that still exists.
    std::vector<QPointer<QDialog>> m_dataDialogs;
    QPointer<frmDescriptives> m_frmDescriptives;
    QPointer<frmESBootstrap> m_frmESBootstrap;
    QPointer<frmHierarchical> m_frmHierarchical;
    QPointer<frmDominance> m_frmDominance;
    QPointer<frmPlan> m_frmPlan;
    QPointer<frmSaveOutput> m_frmSaveOutput;
    QPointer<frmOpenOutput> m_frmOpenOutput;
    QPointer<frmSplash> m_frmSplash;
    QPointer<frmUserGuide> m_frmUserGuide;
    // The import that is reading (none when idle), its watcher, and the
    // options every import reads with.
    std::shared_ptr<ImportRun> m_import;
    QPointer<QFutureWatcher<ImportOutcome>> m_importWatcher;
    ImportOptions m_importOptions;
    // The last run that appended its report, for its distribution window.
    std::optional<BootstrapResult> m_lastRun;
    bool m_loaded = false;
};

} // namespace orvalis
