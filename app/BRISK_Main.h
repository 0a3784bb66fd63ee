#pragma once
// The main window: the pattern document, the log view and every command. Its runs
// go through app/RunHost; the record of an unattended run through app/RunRecord.
#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/LogFile.h"
#include "engine/RemoveWorker.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolBar;
class QTreeView;
class TItemEditor;
class TLogView;
class TOptionsEditor;
class TPatternModel;
class TPrompter;
class TRunHost;
class TRunRecord;
class TScheduleStatus;
class TTaskbarProgress;
struct TRunEnd;

// What the window works with; everything left empty gets the real thing.
struct TMainFormServices {
  TPrompter* Prompter = nullptr;            // message boxes and file dialogs
  TItemEditor* ItemEditor = nullptr;        // Add and Modify; without one both are cancelled
  TOptionsEditor* OptionsEditor = nullptr;  // Options; without one it is cancelled
  TWorkerFactory WorkerFactory;             // default CreateRemoveWorker
  std::function<std::unique_ptr<TTaskbarProgress>()> ProgressFactory;  // default: the D-Bus launcher entry
  bool Headless = false;  // no display: nobody can answer a question or see a window
  bool Verbose = false;   // -R -v: the automatic run's lines and summary on the terminal too
};

class TMainForm : public QMainWindow {
  Q_OBJECT
public:
  // Arguments are argv[1..]: the settings are loaded, then the command line is processed.
  explicit TMainForm(const std::vector<std::string>& Arguments, TMainFormServices Services = {},
                     QWidget* Parent = nullptr);
  ~TMainForm() override;

  // The item editor and the options dialog, created after the window.
  void SetDialogs(TItemEditor* ItemEditor, TOptionsEditor* OptionsEditor) {
    FServices.ItemEditor = ItemEditor;
    FServices.OptionsEditor = OptionsEditor;
  }
  // Shows the window in the state the command line asked for.
  void ShowInitial();

  const std::string& PatternFile() const { return FPatternFile; }
  bool Modified() const { return FModified; }
  bool AutomaticRun() const { return FRun; }
  bool WorkerRunning() const;
  // The status of an unattended run (its worker, the log file, nothing to run), or of
  // the window ended by a signal; 0 otherwise.
  int ExitCode() const;

  // The three log settings; the options dialog edits them.
  bool SaveLog = false;
  std::string LogFile;
  int LogLinage = 256;

  // Starts a worker over the selected rows.
  void RemoveThreadExecute(bool TestRun);
  // The automatic run, once, when the event queue first runs empty after showing.
  void ApplicationIdleAtOnce();
  // Shows an error in a box, or on standard error where no box may wait (an
  // automatic run, no display); the general exception handler lands here.
  void ReportError(const QString& Message);
  // SIGTERM and the like: stops the run at its next entry and closes the window
  // without asking anything; the exit status becomes 128 + Signal.
  void EndBySignal(int Signal);

  // Widgets and commands, reachable for tests and for the application's handlers.
  QTreeView* PatternView = nullptr;
  TLogView* LogView = nullptr;
  QProgressBar* ProgressBar = nullptr;  // in status panel 2 while a worker runs
  QSplitter* Splitter = nullptr;
  QToolBar* ToolBar = nullptr;
  QLabel* StatusPanels[3] = {};
  QMenu *FileMnu = nullptr, *ItemMnu = nullptr, *DeleteMnu = nullptr, *ViewMnu = nullptr, *OptionMnu = nullptr,
        *HelpMnu = nullptr;
  QAction *FileNewMnu = nullptr, *FileOpenMnu = nullptr, *FileSaveMnu = nullptr, *FileSaveAsMnu = nullptr,
          *FileExitMnu = nullptr;
  QAction *ItemAddMnu = nullptr, *ItemDeleteMnu = nullptr, *ItemModifyMnu = nullptr, *ItemUpMnu = nullptr,
          *ItemDownMnu = nullptr;
  QAction *DeleteTestMnu = nullptr, *DeleteRunMnu = nullptr, *DeleteStopMnu = nullptr;
  QAction *ViewClearMnu = nullptr, *OptionConfigMnu = nullptr;
  QAction *HelpManualMnu = nullptr, *HelpAboutMnu = nullptr;
  QAction *FileScheduleMnu = nullptr, *ViewLogFileMnu = nullptr;
  TScheduleStatus* ScheduleStatus = nullptr;  // a status bar panel: when the open pattern runs next
  // Shows a saved log file in the log view, after the lines of this session are saved.
  void ShowLogFile(const std::string& FileName);
  TPatternModel* Model() const { return FModel; }

signals:
  void WorkerEnded();

protected:
  void closeEvent(QCloseEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  TMainFormServices FServices;
  std::unique_ptr<TPrompter> FOwnPrompter;
  TPatternModel* FModel = nullptr;
  TRunHost* FRunHost = nullptr;
  std::unique_ptr<TRunRecord> FRecord;  // how the lines and the status of an unattended run are kept
  bool FRun = false;
  bool FIdleHandlerSet = false;
  bool FDestroyed = false;
  std::string FPatternFile;
  std::string FSaveDlgFileName;
  bool FModified = false;
  size_t FLogSaved = 0;              // lines of the log view already in the log file
  bool FEndingBySignal = false;
  TStartWindowState FStartState = swsNormal;
  // The rows the running worker started with, and what the last Test that ended
  // normally covered and found: the run confirmation repeats its figures while the
  // selection and its rows are unchanged.
  using TRowTexts = std::vector<std::pair<const void*, TItemTexts>>;
  TRowTexts FWorkerRows;
  struct TTestedSelection {
    TRowTexts Rows;
    TRunSummary Summary;
  };
  std::optional<TTestedSelection> FLastTest;
  int64_t FSummaryFailures = 0;  // the failures the status bar's summary counts
  QStringList FStartErrors, FStartWarnings;  // of the settings and patterns read at start

  // Building the window.
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateViews();
  void CreateStatusBar();
  QAction* MakeAction(const QString& Caption, const QString& Hint, int Image, void (TMainForm::*Handler)());
  int Scaled(int DesignPixels) const;

  // Start-up.
  void FormCreate(const std::vector<std::string>& Arguments);
  void ProcessCommandLine(const std::vector<std::string>& Arguments);
  void LoadSettings();
  void SaveSettings();
  void RestoreWindowState();
  void SaveWindowState();
  bool ReportStartProblems();

  // Document.
  void SetPatternFile(const std::string& Value);
  void SetModified(bool Value);
  void UpdateCommands();
  void NewPattern();
  void LoadPattern(const std::string& FileName);
  bool SavePattern(const std::string& FileName);
  int ConfirmSave();
  bool SaveChangesFirst();
  void SaveLogFile();
  void FormDestroy();
  int FocusedRow() const;
  void FocusRow(int Position);
  int SelectedCount() const;

  // Commands.
  void RunCommand(void (TMainForm::*Handler)());
  void Issue(QAction* Command);
  void FileNewMnuClick();
  void FileOpenMnuClick();
  void FileSaveMnuClick();
  void FileSaveAsMnuClick();
  void FileExitMnuClick();
  void ItemAddMnuClick();
  void ItemDeleteMnuClick();
  void ItemModifyMnuClick();
  void ItemUpMnuClick();
  void ItemDownMnuClick();
  void DeleteTestMnuClick();
  void DeleteRunMnuClick();
  void DeleteStopMnuClick();
  void ViewClearMnuClick();
  void OptionConfigMnuClick();
  void HelpManualMnuClick();
  void HelpAboutMnuClick();
  void FileScheduleMnuClick();
  void ViewLogFileMnuClick();
  void ViewConfiguredLogFile();
  void PatternViewContextPopup();

  // Worker.
  void CreateRunHost();
  void RunEnded(const TRunEnd& End);
  static QString SpaceText(const TRunSummary& Summary);
  void ShowSummary(const TRunSummary& Summary, bool Stopped, bool TestRun);
  QString RunConfirmationDetails() const;
  TRowTexts SelectedRowTexts() const;
  bool Unattended() const { return FRun || FServices.Headless; }
  TRunRecord& Record();
};
