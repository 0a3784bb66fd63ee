#pragma once
// The main window: the pattern document, the log view, every command, and the
// lifetime of the deletion worker.
#include <QElapsedTimer>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/LogFile.h"
#include "engine/RemoveHost.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QTimer;
class QToolBar;
class QTreeView;
class TItemEditor;
class TLogView;
class TOptionsEditor;
class TPatternModel;
class TPrompter;
class TTaskbarProgress;

// A running test or run as the window sees it. The worker calls its end handler on
// the user-interface thread (through the host's Post) after its last step, and
// frees itself right after.
class TWorker {
public:
  virtual ~TWorker() = default;
  virtual void Terminate() = 0;
  // Stops at the next entry, also in the middle of a row: the process is ending.
  virtual void Interrupt() { Terminate(); }
  virtual bool Terminated() const { return false; }
  // The error that ended it early, worded for the user; empty after a normal end.
  virtual std::string ErrorMessage() const = 0;
  // Hands the queued result lines to the host now (the window's timer calls it).
  virtual void DeliverResults() {}
  // What the test or run did; read in the end handler.
  virtual TRunSummary Summary() const { return {}; }
};
using TWorkerEnd = std::function<void(TWorker&)>;
using TWorkerFactory = std::function<TWorker*(TRemoveHost& Host, bool TestRun, TWorkerEnd OnEnd)>;

// The deletion worker of the engine behind TWorker.
TWorker* CreateRemoveThread(TRemoveHost& Host, bool TestRun, TWorkerEnd OnEnd);

// What the window works with; everything left empty gets the real thing.
struct TMainFormServices {
  TPrompter* Prompter = nullptr;            // message boxes and file dialogs
  TItemEditor* ItemEditor = nullptr;        // Add and Modify; without one both are cancelled
  TOptionsEditor* OptionsEditor = nullptr;  // Options; without one it is cancelled
  TWorkerFactory WorkerFactory;             // default CreateRemoveThread
  std::function<std::unique_ptr<TTaskbarProgress>()> ProgressFactory;  // default: the D-Bus launcher entry
  bool Headless = false;  // no display: nobody can answer a question or see a window
};

class TMainForm : public QMainWindow, private TRemoveHost {
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
  bool WorkerRunning() const { return FRemoveThread != nullptr; }
  // 0 unless an unattended run failed (its worker, the log file, nothing to run).
  int ExitCode() const { return FExitCode; }

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
  QMenu *FileMnu = nullptr, *ItemMnu = nullptr, *DeleteMnu = nullptr, *ViewMnu = nullptr, *OptionMnu = nullptr;
  QAction *FileNewMnu = nullptr, *FileOpenMnu = nullptr, *FileSaveMnu = nullptr, *FileSaveAsMnu = nullptr,
          *FileExitMnu = nullptr;
  QAction *ItemAddMnu = nullptr, *ItemDeleteMnu = nullptr, *ItemModifyMnu = nullptr, *ItemUpMnu = nullptr,
          *ItemDownMnu = nullptr;
  QAction *DeleteTestMnu = nullptr, *DeleteRunMnu = nullptr, *DeleteStopMnu = nullptr;
  QAction *ViewClearMnu = nullptr, *OptionConfigMnu = nullptr;
  TPatternModel* Model() const { return FModel; }
  // The log view's lines as the worker wrote them (bytes kept).
  std::vector<std::string> LogLines() const;

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
  TWorker* FRemoveThread = nullptr;
  std::optional<bool> FPendingRun;  // Test or Run asked for while the old worker ends
  bool FRun = false;
  bool FIdleHandlerSet = false;
  bool FDestroyed = false;
  std::string FPatternFile;
  std::string FSaveDlgFileName;
  bool FModified = false;
  std::unique_ptr<TTaskbarProgress> FProgress;
  QTimer* FDeliveryTimer = nullptr;  // takes the worker's queued lines while it runs
  bool FTestRun = false;             // what the running worker does
  size_t FLogSaved = 0;              // lines of the log view already in the log file
  QElapsedTimer FLogWritten;         // since the log file was last written, in an unattended run
  bool FLogToStandardError = false;  // the log file failed: an unattended run's lines go to stderr
  bool FEndingBySignal = false;
  TStartWindowState FStartState = swsNormal;
  int FExitCode = 0;
  // The rows the running worker started with, and what the last Test that ended
  // normally covered and found: the run confirmation repeats its figures while the
  // selection and its rows are unchanged.
  std::vector<std::pair<TRow, TItemTexts>> FWorkerRows;
  struct TTestedSelection {
    std::vector<std::pair<TRow, TItemTexts>> Rows;
    TRunSummary Summary;
  };
  std::optional<TTestedSelection> FLastTest;
  int64_t FSummaryFailures = 0;  // the failures the status bar's summary counts

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
  void SaveLogAsItComes(bool Now);
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
  void PatternViewContextPopup();

  // Worker.
  void StartWhenIdle(bool TestRun);
  void WaitForWorker();
  void RemoveThreadTerminate(TWorker& Sender);
  void ShowSummary(const TRunSummary& Summary, bool Stopped);
  QString RunConfirmationDetails() const;
  std::vector<std::pair<TRow, TItemTexts>> SelectedRowTexts() const;
  bool Unattended() const { return FRun || FServices.Headless; }

  // TRemoveHost: called inside Synchronize, on the user-interface thread.
  TRow FirstSelectedRow() override;
  TRow NextSelectedRow(TRow After) override;
  bool IsRowSelected(TRow Row) override;
  void UnselectRow(TRow Row) override;
  TItemTexts RowTexts(TRow Row) override;
  TReservation RowReservation(TRow Row) override;
  void SetRowReservation(TRow Row, TReservation Entries) override;
  void MarkMissingFolder(TRow Row, int Error) override;
  TReservation TakeRowReservation(TRow Row) override;
  void AppendLog(std::vector<std::string>& Lines) override;
  bool HasProgress() override;
  void SetProgressState(TProgressState State) override;
  void SetProgressValue(int64_t Completed, int64_t Total) override;
  void Synchronize(const std::function<void()>& Step) override;
  void Post(std::function<void()> Step) override;
  int RowPosition(TRow Row) const;
  bool RowSelected(int Position) const;
};
