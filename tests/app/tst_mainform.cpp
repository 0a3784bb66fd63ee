// The main window on Qt's offscreen platform: message boxes and dialogs are
// answered by the test, the deletion worker is a stand-in that really runs on a
// thread of its own and reaches the window only through the host.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QSplitter>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QClipboard>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QToolBar>
#include <QLineEdit>
#include <QIcon>
#include <QTreeView>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <utime.h>
#include <ctime>
#include <filesystem>

#include "app/BRISK_Main.h"
#include "app/LogView.h"
#include "ViewText.h"
#include "dialogs/EditorInterfaces.h"
#include "app/PatternFile.h"
#include "app/PatternModel.h"
#include "app/Prompter.h"
#include "app/TaskbarProgress.h"
#include "support/TestSupport.h"

namespace {

struct TShownBox {
  QString Text, Caption;
  TMessageKind Kind;
  TMessageButtons Buttons;
  bool WorkerRunning;
  QString Details = {};
};

class TScriptedPrompter : public TPrompter {
public:
  TMainForm* Form = nullptr;
  std::deque<int> Answers;
  std::vector<TShownBox> Shown;
  std::deque<std::optional<std::string>> OpenNames, SaveNames;
  int OpenDialogs = 0, SaveDialogs = 0;

  int MessageBox(QWidget*, const QString& Text, const QString& Caption, TMessageKind Kind,
                 TMessageButtons Buttons) override {
    Shown.push_back({Text, Caption, Kind, Buttons, Form && Form->WorkerRunning()});
    if (Answers.empty()) return Buttons == mbOK ? mrOK : mrCancel;
    int answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  int MessageBox(QWidget* Parent, const QString& Text, const QString& Details, const QString& Caption,
                 TMessageKind Kind, TMessageButtons Buttons) override {
    const int answer = MessageBox(Parent, Text, Caption, Kind, Buttons);
    Shown.back().Details = Details;
    return answer;
  }
  std::optional<std::string> OpenFileName(QWidget*, const std::string&) override {
    ++OpenDialogs;
    if (OpenNames.empty()) return std::nullopt;
    auto name = OpenNames.front();
    OpenNames.pop_front();
    return name;
  }
  std::optional<std::string> SaveFileName(QWidget*, const std::string&) override {
    ++SaveDialogs;
    if (SaveNames.empty()) return std::nullopt;
    auto name = SaveNames.front();
    SaveNames.pop_front();
    return name;
  }
};

class TStubEditor : public TItemEditor, public TOptionsEditor {
public:
  bool Accept = false;
  TItemTexts Result{};
  TLogSettings Options;
  int Calls = 0;
  bool EditItem(QWidget*, TItemTexts& Texts) override {
    ++Calls;
    if (Accept) Texts = Result;
    return Accept;
  }
  bool EditOptions(QWidget*, TLogSettings& Settings) override {
    ++Calls;
    if (Accept) Settings = Options;
    return Accept;
  }
};

class TRecordingProgress : public TTaskbarProgress {
public:
  TRecordingProgress() : TTaskbarProgress(QDBusConnection(u"none"_qs)) {}
  std::vector<int> States;
  void SetProgressState(TProgressState State) override {
    States.push_back(State);
    TTaskbarProgress::SetProgressState(State);
  }
};

class TFakeWorker;

// What the stand-in workers do, and which of them exist.
struct TWorkerLab {
  bool AutoFinish = true;  // end right after writing the lines; else wait for Stop or Finish
  std::string Error;       // the error the next worker ends with
  std::vector<TFakeWorker*> Live;
  std::vector<bool> TestRuns;
  // Per row handed over by TakeRowReservation: its size, and what the row kept meanwhile.
  std::vector<std::pair<size_t, size_t>> Taken;
  std::string Code = "0x0000";  // the code of every line
  TRunSummary Summary;          // what the workers report
};

// Walks the selected rows through the host from its own thread, as the engine's
// worker does: one line per row, a run unselects the row.
class TFakeWorker : public TRemoveWorker {
public:
  TFakeWorker(TWorkerLab& Lab, TRemoveHost& Host, bool TestRun, TWorkerEnd OnEnd)
      : FLab(Lab), FHost(Host), FTestRun(TestRun), FOnEnd(std::move(OnEnd)), FAutoFinish(Lab.AutoFinish),
        FError(Lab.Error.empty() ? std::nullopt : std::optional<EBriskoError>(EBriskoError(Lab.Error))),
        FSummary(Lab.Summary) {
    Lab.Live.push_back(this);
    Lab.TestRuns.push_back(TestRun);
    FThread = std::thread([this] { Execute(); });
  }
  ~TFakeWorker() override {
    FThread.join();
    std::erase(FLab.Live, this);
  }
  void Terminate() override {
    std::lock_guard lock(FMutex);
    FStopped = true;
    FWake.notify_all();
  }
  void Interrupt() override { Terminate(); }
  bool Terminated() const override { return false; }
  void DeliverResults() override {}
  const TRunSummary& Summary() const override { return FSummary; }
  const std::optional<EBriskoError>& Error() const override { return FError; }
  void Finish() {
    std::lock_guard lock(FMutex);
    FReleased = true;
    FWake.notify_all();
  }
  bool Stopped() {
    std::lock_guard lock(FMutex);
    return FStopped;
  }

private:
  TWorkerLab& FLab;
  TRemoveHost& FHost;
  bool FTestRun;
  TWorkerEnd FOnEnd;
  bool FAutoFinish;
  std::optional<EBriskoError> FError;
  TRunSummary FSummary;
  std::thread FThread;
  std::mutex FMutex;
  std::condition_variable FWake;
  bool FStopped = false, FReleased = false;

  void Execute() {
    std::vector<TRemoveHost::TRow> rows;
    FHost.Synchronize([&] {
      for (auto row = FHost.FirstSelectedRow(); row; row = FHost.NextSelectedRow(row)) rows.push_back(row);
    });
    for (auto row : rows) {
      FHost.Synchronize([&] {
        TItemTexts texts = FHost.RowTexts(row);
        FHost.SetRowReservation(row, {{texts[itLocation] + "/x", "", {}}});
        // The remove pass's hand-over: the list changes hands and comes back.
        TReservation taken = FHost.TakeRowReservation(row);
        FLab.Taken.emplace_back(taken.size(), FHost.RowReservation(row).size());
        FHost.SetRowReservation(row, std::move(taken));
        std::vector<std::string> lines{std::string(FTestRun ? "TE " : "RM ") + FLab.Code + " " + texts[itLocation]};
        FHost.AppendLog(lines);
        if (!FTestRun) FHost.UnselectRow(row);
      });
    }
    {
      std::unique_lock lock(FMutex);
      FWake.wait(lock, [this] { return FAutoFinish || FStopped || FReleased; });
    }
    // The owner frees the worker in its end handler or later.
    FHost.Post([this] {
      const TWorkerEnd onEnd = std::move(FOnEnd);
      onEnd(*this);
    });
  }
};

TItemTexts Item(const std::string& Location) { return {Location, "*.tmp", "", "M+7", "", ""}; }

}  // namespace

class TMainFormTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TTempDir> FHome;
  TScriptedPrompter FPrompter;
  TStubEditor FEditor;
  TWorkerLab FLab;
  TRecordingProgress* FProgress = nullptr;

  std::unique_ptr<TMainForm> MakeForm(const std::vector<std::string>& Arguments = {}, bool RealWorker = false) {
    TMainFormServices services;
    services.Prompter = &FPrompter;
    services.ItemEditor = &FEditor;
    services.OptionsEditor = &FEditor;
    if (!RealWorker)
      services.WorkerFactory = [this](TRemoveHost& Host, bool TestRun, TWorkerEnd OnEnd) {
        return std::unique_ptr<TRemoveWorker>(new TFakeWorker(FLab, Host, TestRun, std::move(OnEnd)));
      };
    services.ProgressFactory = [this] {
      auto progress = std::make_unique<TRecordingProgress>();
      FProgress = progress.get();
      return std::unique_ptr<TTaskbarProgress>(std::move(progress));
    };
    auto form = std::make_unique<TMainForm>(Arguments, std::move(services));
    FPrompter.Form = form.get();
    return form;
  }

  // A pattern file of N items named row0..rowN-1, loaded from the command line.
  std::unique_ptr<TMainForm> FormWithRows(int Count, const std::string& Name = "three.rmp") {
    std::vector<TItemTexts> items;
    for (int i = 0; i < Count; ++i) items.push_back(Item("row" + std::to_string(i)));
    SavePattern(*FHome / Name, items);
    return MakeForm({*FHome / Name});
  }

  static QString Panel(TMainForm& Form, int Index) { return Form.StatusPanels[Index]->text(); }
  static std::string Location(TMainForm& Form, int Row) { return Form.Model()->Row(Row).Texts[itLocation]; }
  static bool Selected(TMainForm& Form, int Row) {
    return Form.PatternView->selectionModel()->isRowSelected(Row, QModelIndex());
  }
  static void Focus(TMainForm& Form, int Row) {
    Form.PatternView->selectionModel()->setCurrentIndex(Form.Model()->index(Row, 0), QItemSelectionModel::NoUpdate);
  }
  static bool RowCommandsEnabled(TMainForm& Form) {
    return Form.ItemDeleteMnu->isEnabled() && Form.ItemModifyMnu->isEnabled() && Form.ItemUpMnu->isEnabled() &&
           Form.ItemDownMnu->isEnabled();
  }
  static void ShowActive(TMainForm& Form) {
    Form.show();
    Form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&Form));
  }

private slots:
  void initTestCase() {
    FHome = std::make_unique<TTempDir>();
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(*FHome / "config"));
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(*FHome / "state"));
  }

  void init() {
    FPrompter = TScriptedPrompter();
    FEditor = TStubEditor();
    FLab.AutoFinish = true;
    FLab.Error.clear();
    FLab.TestRuns.clear();
    FLab.Code = "0x0000";
    FLab.Summary = {};
  }

  void cleanup() { QTRY_VERIFY(FLab.Live.empty()); }

  void startUpState() {
    auto form = MakeForm();
    QCOMPARE(form->windowTitle(), u"Brisko"_qs);
    QCOMPARE(form->Model()->Count(), 0);
    QCOMPARE(Panel(*form, 0), u"0/0 選択"_qs);
    QCOMPARE(Panel(*form, 1), QString());
    QCOMPARE(Panel(*form, 2), QString());
    for (QAction* command : {form->ItemDeleteMnu, form->ItemModifyMnu, form->ItemUpMnu, form->ItemDownMnu,
                             form->DeleteTestMnu, form->DeleteRunMnu, form->DeleteStopMnu})
      QVERIFY2(!command->isEnabled(), qPrintable(command->text()));
    QVERIFY(form->ItemAddMnu->isEnabled());
    QVERIFY(!form->AutomaticRun());
    QCOMPARE(form->PatternView->model()->headerData(0, Qt::Horizontal).toString(), u"対象フォルダ"_qs);
    QCOMPARE(form->PatternView->model()->headerData(5, Qt::Horizontal).toString(), u"オプション"_qs);
  }

  void menusCarryCaptionsShortcutsAndHints() {
    auto form = MakeForm();
    QCOMPARE(form->FileOpenMnu->text(), u"開く(&O)..."_qs);
    QCOMPARE(form->FileOpenMnu->shortcut(), QKeySequence(u"Ctrl+O"_qs));
    QCOMPARE(form->ItemAddMnu->shortcut(), QKeySequence(Qt::Key_Insert));
    QCOMPARE(form->DeleteStopMnu->shortcut(), QKeySequence(Qt::Key_Escape));
    QCOMPARE(form->ViewClearMnu->shortcut(), QKeySequence(Qt::Key_F5));
    QCOMPARE(form->DeleteTestMnu->toolTip(), u"テスト"_qs);
    QCOMPARE(form->DeleteTestMnu->statusTip(), u"選択アイテムを実行テストします"_qs);
    QVERIFY(!form->ItemUpMnu->icon().isNull());
    QVERIFY(form->FileSaveAsMnu->icon().isNull());
  }

  void captionFollowsTheDocument() {
    auto form = FormWithRows(1, "a.rmp");
    QCOMPARE(form->windowTitle(), u"a.rmp - Brisko"_qs);
    form->FileNewMnu->trigger();
    QCOMPARE(form->windowTitle(), u"無題 - Brisko"_qs);
    QCOMPARE(form->Model()->Count(), 0);
    SavePattern(*FHome / "daily.rmp", {Item("d")});
    FPrompter.OpenNames.push_back(*FHome / "daily.rmp");
    form->FileOpenMnu->trigger();
    QCOMPARE(form->windowTitle(), u"daily.rmp - Brisko"_qs);
    QCOMPARE(form->PatternFile(), *FHome / "daily.rmp");
    QCOMPARE(Location(*form, 0), std::string("d"));
    QVERIFY(!form->Modified());
    // Cancelling the open dialog keeps the list.
    form->FileOpenMnu->trigger();
    QCOMPARE(form->Model()->Count(), 1);
  }

  void ctrlASelectsEveryRow() {
    auto form = FormWithRows(3);
    QCOMPARE(Panel(*form, 0), u"0/3 選択"_qs);
    QTest::keyClick(form->PatternView, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Panel(*form, 0), u"3/3 選択"_qs);
    QVERIFY(form->DeleteTestMnu->isEnabled() && form->DeleteRunMnu->isEnabled());
    form->PatternView->clearSelection();
    QTest::keyClick(form->PatternView, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(Panel(*form, 0), u"3/3 選択"_qs);
  }

  void upAndDownWrapAround() {
    auto form = FormWithRows(3);
    Focus(*form, 0);
    form->PatternView->selectionModel()->select(form->Model()->index(1, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    form->ItemUpMnu->trigger();
    QCOMPARE(Location(*form, 2), std::string("row0"));
    QCOMPARE(Location(*form, 0), std::string("row1"));
    QCOMPARE(form->PatternView->currentIndex().row(), 2);
    QVERIFY(!Selected(*form, 2));
    QVERIFY(Selected(*form, 0));  // the other row keeps its selection
    QCOMPARE(form->Model()->Row(2).Texts, Item("row0"));
    QVERIFY(form->Modified());
    QCOMPARE(Panel(*form, 1), u"変更"_qs);

    form->ItemDownMnu->trigger();  // the last row goes to the top
    QCOMPARE(Location(*form, 0), std::string("row0"));
    QCOMPARE(Location(*form, 1), std::string("row1"));
    QCOMPARE(form->PatternView->currentIndex().row(), 0);
    form->ItemDownMnu->trigger();
    QCOMPARE(Location(*form, 1), std::string("row0"));
    QCOMPARE(form->PatternView->currentIndex().row(), 1);
    form->ItemUpMnu->trigger();
    QCOMPARE(Location(*form, 0), std::string("row0"));
  }

  void deleteRemovesTheFocusedRowOnly() {
    auto form = FormWithRows(3);
    ShowActive(*form);
    form->PatternView->setFocus();
    form->PatternView->selectAll();
    Focus(*form, 1);
    QTest::keyClick(form->PatternView, Qt::Key_Delete);
    QCOMPARE(form->Model()->Count(), 2);
    QCOMPARE(Location(*form, 0), std::string("row0"));
    QCOMPARE(Location(*form, 1), std::string("row2"));
    QVERIFY(form->Modified());
    // The shortcut acts whichever control has the focus.
    Focus(*form, 0);
    form->LogView->setFocus();
    QTest::keyClick(form->LogView, Qt::Key_Delete);
    QCOMPARE(form->Model()->Count(), 1);
  }

  void addAskTheEditor() {
    auto form = FormWithRows(2);
    form->ItemAddMnu->trigger();  // cancelled
    QCOMPARE(FEditor.Calls, 1);
    QCOMPARE(form->Model()->Count(), 2);
    QVERIFY(!form->Modified());
    QCOMPARE(Panel(*form, 0), u"0/2 選択"_qs);

    FEditor.Accept = true;
    FEditor.Result = Item("added");
    form->ItemAddMnu->trigger();
    QCOMPARE(form->Model()->Count(), 3);
    QCOMPARE(Location(*form, 2), std::string("added"));
    QCOMPARE(form->PatternView->currentIndex().row(), 2);
    QVERIFY(!Selected(*form, 2));
    QVERIFY(form->Modified());
  }

  void modifyByDoubleClickOnlyWhileIdle() {
    auto form = FormWithRows(2);
    ShowActive(*form);
    FEditor.Accept = true;
    FEditor.Result = Item("changed");
    QRect rect = form->PatternView->visualRect(form->Model()->index(1, 0));
    QTest::mouseClick(form->PatternView->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(form->PatternView->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(Location(*form, 1), std::string("changed"));
    QVERIFY(form->Modified());

    FLab.AutoFinish = false;
    form->DeleteTestMnu->trigger();
    QTRY_COMPARE(FLab.Live.size(), size_t(1));
    int calls = FEditor.Calls;
    QTest::mouseDClick(form->PatternView->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(FEditor.Calls, calls);
    FLab.Live.front()->Finish();
  }

  void newWithUnsavedChanges() {
    auto form = MakeForm();
    FEditor.Accept = true;
    FEditor.Result = Item("x");
    form->ItemAddMnu->trigger();
    QVERIFY(form->Modified());

    FPrompter.Answers = {mrCancel};
    form->FileNewMnu->trigger();
    QCOMPARE(form->Model()->Count(), 1);
    QCOMPARE(FPrompter.Shown.back().Text, u"無題 の変更を保存しますか？"_qs);
    QCOMPARE(FPrompter.Shown.back().Caption, u"情報"_qs);
    QCOMPARE(FPrompter.Shown.back().Buttons, mbSaveDiscardCancel);

    // Yes on an untitled document with the save dialog cancelled keeps the changes.
    FPrompter.Answers = {mrYes};
    form->FileNewMnu->trigger();
    QCOMPARE(FPrompter.SaveDialogs, 1);
    QCOMPARE(form->Model()->Count(), 1);
    QVERIFY(form->Modified());

    // Yes with a name saves, then empties.
    FPrompter.Answers = {mrYes};
    FPrompter.SaveNames.push_back(*FHome / "saved.rmp");
    form->FileNewMnu->trigger();
    QCOMPARE(form->Model()->Count(), 0);
    QVERIFY(!form->Modified());
    QCOMPARE(LoadPattern(*FHome / "saved.rmp").size(), size_t(1));

    // No empties without saving.
    form->ItemAddMnu->trigger();
    FPrompter.Answers = {mrNo};
    size_t saveDialogs = FPrompter.SaveDialogs;
    form->FileNewMnu->trigger();
    QCOMPARE(form->Model()->Count(), 0);
    QCOMPARE(size_t(FPrompter.SaveDialogs), saveDialogs);
    QCOMPARE(LoadPattern(*FHome / "saved.rmp").size(), size_t(1));
  }

  void closeWithUnsavedChanges() {
    auto form = FormWithRows(2, "close.rmp");
    form->show();
    Focus(*form, 0);
    form->ItemDeleteMnu->trigger();
    FPrompter.Answers = {mrCancel};
    QVERIFY(!form->close());
    QVERIFY(form->isVisible());
    QCOMPARE(FPrompter.Shown.back().Text, u"close.rmp の変更を保存しますか？"_qs);

    FPrompter.Answers = {mrYes};
    QVERIFY(form->close());
    QCOMPARE(LoadPattern(*FHome / "close.rmp").size(), size_t(1));
  }

  void closeKeepsAnUntitledDocumentWhenItsSaveIsCancelled() {
    auto form = MakeForm();
    form->show();
    FEditor.Accept = true;
    form->ItemAddMnu->trigger();
    FPrompter.Answers = {mrYes};
    QVERIFY(!form->close());
    QCOMPARE(FPrompter.SaveDialogs, 1);
    QVERIFY(form->isVisible());
    FPrompter.Answers = {mrNo};
    QVERIFY(form->close());
  }

  void failedSaveKeepsTheDocumentAndShowsTheError() {
    auto form = FormWithRows(1, "keep.rmp");
    Focus(*form, 0);
    form->ItemUpMnu->trigger();
    FPrompter.SaveNames.push_back(*FHome / "no-such-folder/x.rmp");
    form->FileSaveAsMnu->trigger();
    QCOMPARE(FPrompter.Shown.size(), size_t(1));
    QCOMPARE(FPrompter.Shown.back().Kind, mkError);
    QVERIFY(FPrompter.Shown.back().Text.contains(u"x.rmp"_qs));
    QCOMPARE(form->PatternFile(), *FHome / "keep.rmp");
    QVERIFY(form->Modified());
  }

  void failedSaveInTheSaveQuestionEndsTheCommand() {
    auto form = MakeForm({*FHome / "gone/p.rmp"});  // a name whose folder does not exist
    FEditor.Accept = true;
    form->ItemAddMnu->trigger();
    FPrompter.Answers = {mrYes};
    form->FileNewMnu->trigger();
    QCOMPARE(FPrompter.Shown.size(), size_t(2));
    QCOMPARE(FPrompter.Shown.back().Kind, mkError);
    QCOMPARE(form->Model()->Count(), 1);
    QVERIFY(form->Modified());
    QCOMPARE(form->windowTitle(), u"p.rmp - Brisko"_qs);
  }

  void runAsksAndTestDoesNot() {
    auto form = FormWithRows(2);
    form->PatternView->selectAll();
    FPrompter.Answers = {mrNo};
    form->DeleteRunMnu->trigger();
    QCOMPARE(FPrompter.Shown.back().Text, u"ファイル削除を実行しますか？"_qs);
    QCOMPARE(FPrompter.Shown.back().Caption, u"確認"_qs);
    QCOMPARE(FPrompter.Shown.back().Buttons, mbYesNo);
    QVERIFY(FLab.TestRuns.empty());

    size_t boxes = FPrompter.Shown.size();
    form->DeleteTestMnu->trigger();
    QCOMPARE(FPrompter.Shown.size(), boxes);
    QCOMPARE(FLab.TestRuns, std::vector<bool>{true});
    QTRY_COMPARE(ViewLines(*form->LogView).size(), size_t(2));
    QCOMPARE(ViewLines(*form->LogView)[0], std::string("TE 0x0000 row0"));
    QTRY_VERIFY(!form->WorkerRunning());
    QCOMPARE(ViewText(*form->LogView), u"TE 0x0000 row0\nTE 0x0000 row1"_qs);
    QVERIFY(Selected(*form, 0) && Selected(*form, 1));

    FPrompter.Answers = {mrYes};
    form->DeleteRunMnu->trigger();
    QCOMPARE((FLab.TestRuns), (std::vector<bool>{true, false}));
    QTRY_VERIFY(!form->WorkerRunning());
    // The run went through the host: lines, reservation lists, unselected rows.
    QCOMPARE(ViewLines(*form->LogView).back(), std::string("RM 0x0000 row1"));
    QCOMPARE(form->Model()->Row(1).Reservation.front().Path, std::string("row1/x"));
    // The list was handed over, not copied, and is back in its row.
    QCOMPARE(FLab.Taken.back(), (std::pair<size_t, size_t>{1, 0}));
    QCOMPARE(form->Model()->Row(0).Reservation.size(), size_t(1));
    QCOMPARE(Panel(*form, 0), u"0/2 選択"_qs);
    QVERIFY(!form->Modified());
  }

  void stopDuringARunAndTheEndReenablesTheRowCommands() {
    auto form = FormWithRows(3);
    ShowActive(*form);
    form->PatternView->selectAll();
    Focus(*form, 0);
    QVERIFY(RowCommandsEnabled(*form));
    FLab.AutoFinish = false;
    FPrompter.Answers = {mrYes};
    form->DeleteRunMnu->trigger();
    QVERIFY(form->WorkerRunning());
    QVERIFY(form->DeleteStopMnu->isEnabled());
    QVERIFY(!form->ItemDeleteMnu->isEnabled() && !form->ItemModifyMnu->isEnabled() && !form->ItemUpMnu->isEnabled() &&
            !form->ItemDownMnu->isEnabled());
    QVERIFY(form->ItemAddMnu->isEnabled());
    QTRY_COMPARE(ViewLines(*form->LogView).size(), size_t(3));
    TFakeWorker* worker = FLab.Live.front();
    QTest::keyClick(form->LogView, Qt::Key_Escape);
    QVERIFY(worker->Stopped());
    QTRY_VERIFY(!form->WorkerRunning());
    QVERIFY(!form->DeleteStopMnu->isEnabled());
    QVERIFY(RowCommandsEnabled(*form));
    QVERIFY(FPrompter.Shown.size() == 1);  // the run question only, no error
  }

  void oneWorkerAtATime() {
    auto form = FormWithRows(2);
    form->PatternView->selectAll();
    FLab.AutoFinish = false;
    form->DeleteTestMnu->trigger();
    QTRY_COMPARE(ViewLines(*form->LogView).size(), size_t(2));
    FLab.AutoFinish = true;
    // Test again: the running worker is asked to stop, the new one waits for its end.
    form->DeleteTestMnu->trigger();
    QCOMPARE(FLab.TestRuns.size(), size_t(1));
    QTRY_COMPARE(FLab.TestRuns.size(), size_t(2));
    QTRY_VERIFY(!form->WorkerRunning());
    QCOMPARE(ViewLines(*form->LogView).size(), size_t(4));
  }

  void newOpenAndCloseWaitForTheWorker() {
    auto form = FormWithRows(2);
    form->show();
    form->PatternView->selectAll();
    FLab.AutoFinish = false;
    form->DeleteTestMnu->trigger();
    QTRY_COMPARE(ViewLines(*form->LogView).size(), size_t(2));
    form->FileNewMnu->trigger();
    QVERIFY(FLab.Live.empty());
    QVERIFY(!form->WorkerRunning());
    QCOMPARE(form->Model()->Count(), 0);

    SavePattern(*FHome / "two.rmp", {Item("a"), Item("b")});
    FPrompter.OpenNames.push_back(*FHome / "two.rmp");
    form->FileOpenMnu->trigger();
    form->PatternView->selectAll();
    form->DeleteTestMnu->trigger();
    QVERIFY(form->WorkerRunning());
    QVERIFY(form->close());
    QVERIFY(FLab.Live.empty());
  }

  void workerErrorIsShownAfterTheWorkerEnded() {
    auto form = FormWithRows(1);
    form->PatternView->selectAll();
    FLab.Error = "経過日数 X は整数ではありません";
    form->DeleteTestMnu->trigger();
    QTRY_VERIFY(!form->WorkerRunning());
    QTRY_COMPARE(FPrompter.Shown.size(), size_t(1));
    QCOMPARE(FPrompter.Shown[0].Text, u"経過日数 X は整数ではありません"_qs);
    QCOMPARE(FPrompter.Shown[0].Kind, mkError);
    QVERIFY(!FPrompter.Shown[0].WorkerRunning);
    QCOMPARE(form->ExitCode(), 0);
    QVERIFY(FProgress && FProgress->States.back() == psNoProgress);
  }

  void clearLogSavesItFirstWhenAsked() {
    auto form = FormWithRows(2);
    form->PatternView->selectAll();
    form->DeleteTestMnu->trigger();
    QTRY_VERIFY(!form->WorkerRunning());
    form->ViewClearMnu->trigger();  // saving off: the view is only emptied
    QCOMPARE(ViewText(*form->LogView), QString());
    std::string log = *FHome / "clear.log";
    QVERIFY(ReadFile(log).empty());

    FEditor.Accept = true;
    FEditor.Options = {true, log, 256};
    form->OptionConfigMnu->trigger();
    QVERIFY(form->SaveLog);
    form->DeleteTestMnu->trigger();
    QTRY_VERIFY(!form->WorkerRunning());
    form->ViewClearMnu->trigger();
    QCOMPARE(ReadFile(log), std::string("TE 0x0000 row0\nTE 0x0000 row1\n"));
    QVERIFY(ViewLines(*form->LogView).empty());
    // The settings were stored: a new window reads them.
    auto second = MakeForm();
    QVERIFY(second->SaveLog);
    QCOMPARE(second->LogFile, log);

    // A log that cannot be written keeps the view's lines.
    form->DeleteTestMnu->trigger();
    QTRY_VERIFY(!form->WorkerRunning());
    form->LogFile = *FHome / "no-such-folder/x.log";
    form->ViewClearMnu->trigger();
    QCOMPARE(FPrompter.Shown.back().Kind, mkError);
    QCOMPARE(ViewLines(*form->LogView).size(), size_t(2));
    form->SaveLog = false;
    TLogSettings off{false, log, 256};
    SaveSettings(off);
  }

  // A saved log reads as the same lines whatever its mark and line breaks; this
  // session's lines reach the file before it is shown, and the shown lines never
  // reach it a second time.
  void showLogFileShowsTheSavedLogOnce() {
    const std::vector<std::string> lines{"a", "", "b\xE3\x81\x82"};
    const struct {
      const char* What;
      std::string Content;
    } files[] = {{"UTF-8, CR LF", "a\r\n\r\nb\xE3\x81\x82\r\n"},
                 {"UTF-8 with mark", "\xEF\xBB\xBF" "a\r\n\r\nb\xE3\x81\x82\r\n"},
                 {"UTF-16LE with mark", Utf16LE(u"a\r\n\r\nb\u3042\r\n")},
                 {"lone CR, no last break", "a\r\rb\xE3\x81\x82"},
                 {"lone LF", "a\n\nb\xE3\x81\x82\n"}};
    auto form = FormWithRows(2);
    for (const auto& file : files) {
      const std::string name = *FHome / "shown.log";
      WriteFile(name, file.Content);
      form->ShowLogFile(name);
      QVERIFY2(ViewLines(*form->LogView) == lines, file.What);
    }

    const std::string log = *FHome / "session.log";
    WriteFile(log, "old 1\r\nold 2\r\n");
    form->ViewClearMnu->trigger();  // saving still off
    form->SaveLog = true;
    form->LogFile = log;
    form->PatternView->selectAll();
    form->DeleteTestMnu->trigger();
    QTRY_VERIFY(!form->WorkerRunning());
    form->ShowLogFile(log);
    const std::vector<std::string> all{"old 1", "old 2", "TE 0x0000 row0", "TE 0x0000 row1"};
    QVERIFY(ViewLines(*form->LogView) == all);
    form->ViewClearMnu->trigger();
    QCOMPARE(ReadFile(log), std::string("old 1\nold 2\nTE 0x0000 row0\nTE 0x0000 row1\n"));
    form->SaveLog = false;
  }

  // The log view keeps every line of every batch in order, and selects and copies
  // whole lines with the keys a text view has.
  void logViewKeepsBatchesAndCopiesLines() {
    TLogView view;
    view.resize(300, 100);
    view.AppendLines({"one", "two\\x01"});
    view.AppendLines({"three"});
    QCOMPARE(ViewText(view), u"one\ntwo\\x01\nthree"_qs);
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"two\\x01\nthree"_qs);
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.SelectedText(), ViewText(view));
    view.clear();
    QVERIFY(!view.HasSelection() && ViewText(view).isEmpty());
  }

  // Clearing the view while a worker still runs saves what it shows; later lines are
  // saved once, by the next clear or at the end, never twice.
  void clearingDuringARunSavesEachLineOnce() {
    const std::string log = *FHome / "during.log";
    std::remove(log.c_str());
    SaveSettings({true, log, 256});
    auto form = FormWithRows(2, "during.rmp");
    form->PatternView->selectAll();
    FLab.AutoFinish = false;
    form->DeleteTestMnu->trigger();
    QTRY_COMPARE(ViewLines(*form->LogView).size(), size_t(2));
    form->ViewClearMnu->trigger();
    QVERIFY(form->WorkerRunning());
    FLab.Live.back()->Finish();
    QTRY_VERIFY(!form->WorkerRunning());
    form->PatternView->selectAll();
    FLab.AutoFinish = true;
    form->DeleteTestMnu->trigger();
    QTRY_VERIFY(!form->WorkerRunning());
    form->close();
    QCOMPARE(ReadFile(log), std::string("TE 0x0000 row0\nTE 0x0000 row1\nTE 0x0000 row0\nTE 0x0000 row1\n"));
    SaveSettings({false, log, 256});
  }

  void automaticRunSelectsRunsAndCloses() {
    std::vector<TItemTexts> items{Item("r0"), Item("r1"), Item("r2")};
    SavePattern(*FHome / "auto.rmp", items);
    std::string log = *FHome / "auto.log";
    SaveSettings({true, log, 256});
    auto form = MakeForm({"-r", *FHome / "auto.rmp"});
    QVERIFY(form->AutomaticRun());
    QSignalSpy ended(form.get(), &TMainForm::WorkerEnded);
    form->ShowInitial();
    QTRY_VERIFY(!form->isVisible());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(FLab.TestRuns, std::vector<bool>{false});
    QVERIFY(FPrompter.Shown.empty());  // no question before the run, none after
    QCOMPARE(ReadFile(log), std::string("RM 0x0000 r0\nRM 0x0000 r1\nRM 0x0000 r2\n"));
    QCOMPARE(form->ExitCode(), 0);
    SaveSettings({false, log, 256});
  }

  void automaticRunWithoutRowsStaysOpen() {
    auto form = MakeForm({"-R", *FHome / "missing.rmp"});
    form->ShowInitial();
    QTest::qWait(100);
    QVERIFY(form->isVisible());
    QVERIFY(FLab.TestRuns.empty());
    QCOMPARE(form->windowTitle(), u"missing.rmp - Brisko"_qs);
    // The window is there for normal use, errors in boxes.
    QVERIFY(!form->AutomaticRun());
  }

  // A Test chosen while the automatic run goes stops it and is carried out; the
  // window then stays for normal use.
  void aTestChosenDuringAnAutomaticRunIsCarriedOut() {
    SavePattern(*FHome / "auto2.rmp", {Item("a0"), Item("a1")});
    FLab.AutoFinish = false;
    auto form = MakeForm({"-R", *FHome / "auto2.rmp"});
    form->ShowInitial();
    QTRY_COMPARE(FLab.Live.size(), size_t(1));
    FLab.AutoFinish = true;
    form->PatternView->selectAll();
    form->DeleteTestMnu->trigger();
    QTRY_COMPARE(FLab.TestRuns, (std::vector<bool>{false, true}));
    QTRY_VERIFY(!form->WorkerRunning());
    QVERIFY(form->isVisible());
    QVERIFY(!form->AutomaticRun());
  }

  void automaticRunReportsAWorkerErrorOnStandardError() {
    SavePattern(*FHome / "err.rmp", {Item("e")});
    FLab.Error = "壊れた";
    auto form = MakeForm({"-R", *FHome / "err.rmp"});
    form->ShowInitial();
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(FPrompter.Shown.empty());
    QCOMPARE(form->ExitCode(), 1);
  }

  void commandLineSwitchesAndFiles() {
    SavePattern(*FHome / "one.rmp", {Item("1")});
    SavePattern(*FHome / "two.rmp", {Item("2a"), Item("2b")});
    auto form = MakeForm({"-W+", "-X", "-", *FHome / "one.rmp", *FHome / "two.rmp"});
    QVERIFY(!form->AutomaticRun());
    QCOMPARE(form->windowTitle(), u"two.rmp - Brisko"_qs);
    QCOMPARE(form->Model()->Count(), 2);
    form->ShowInitial();
    QVERIFY(form->windowState() & Qt::WindowMaximized);

    auto onlySwitches = MakeForm({"-w-"});
    QCOMPARE(onlySwitches->windowTitle(), u"Brisko"_qs);
    QVERIFY(!onlySwitches->DeleteStopMnu->isEnabled() && !onlySwitches->DeleteTestMnu->isEnabled());
    onlySwitches->ShowInitial();
    QVERIFY(onlySwitches->windowState() & Qt::WindowMinimized);
  }

  void theEnginesWorkerTestsAndRunsThroughTheWindow() {
    std::string folder = *FHome / "real";
    QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
    for (const char* name : {"a.tmp", "b.tmp", "c.txt"}) {
      WriteFile(folder + "/" + name, "x");
      struct utimbuf times;
      times.actime = times.modtime = std::time(nullptr) - 30 * 86400L;
      utime((folder + "/" + name).c_str(), &times);
    }
    SavePattern(*FHome / "real.rmp", {{folder, "*.tmp", "", "M+7", "", ""}});
    auto form = MakeForm({*FHome / "real.rmp"}, true);
    form->PatternView->selectAll();
    form->DeleteTestMnu->trigger();
    QTRY_VERIFY(!form->WorkerRunning());
    QCOMPARE(ViewLines(*form->LogView).size(), size_t(2));
    QVERIFY(ViewLines(*form->LogView)[0].find(" TE 0x0000 " + folder + "/") != std::string::npos);
    QVERIFY(QFileInfo::exists(QString::fromStdString(folder + "/a.tmp")));
    QCOMPARE(FProgress->States.front(), int(psIndeterminate));
    QCOMPARE(FProgress->States.back(), int(psNoProgress));

    form->PatternView->selectAll();
    FPrompter.Answers = {mrYes};
    form->DeleteRunMnu->trigger();
    QTRY_VERIFY(!form->WorkerRunning());
    QCOMPARE(ViewLines(*form->LogView).size(), size_t(4));
    QVERIFY(ViewLines(*form->LogView)[3].find(" RM 0x0000 " + folder + "/") != std::string::npos);
    QVERIFY(!QFileInfo::exists(QString::fromStdString(folder + "/a.tmp")));
    QVERIFY(!QFileInfo::exists(QString::fromStdString(folder + "/b.tmp")));
    QVERIFY(QFileInfo::exists(QString::fromStdString(folder + "/c.txt")));
    QCOMPARE(FPrompter.Shown.size(), size_t(1));  // the run question, no error
  }

  // Stop, by each of its ways, ends a run at the next entry of the row being removed:
  // what was not reached stays on disk without a line, and the row stays selected.
  void stopEndsARunInTheMiddleOfARow() {
    const int count = 20000;
    const char* const ways[] = {"Esc", "menu", "tool button"};
    for (int way = 0; way < 3; ++way) {
      const std::string folder = *FHome / ("stop" + std::to_string(way));
      QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
      for (int i = 0; i < count; ++i) WriteFile(folder + "/" + std::to_string(i) + ".tmp", "");
      SavePattern(*FHome / "stop.rmp", {{folder, "*.tmp", "", "M+0", "", ""}});
      auto form = MakeForm({*FHome / "stop.rmp"}, true);
      ShowActive(*form);
      form->PatternView->selectAll();
      FPrompter.Answers = {mrYes};
      form->DeleteRunMnu->trigger();
      while (form->LogView->Lines().Empty() && form->WorkerRunning()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      QVERIFY2(form->WorkerRunning(), ways[way]);
      if (way == 0)
        QTest::keyClick(form->LogView, Qt::Key_Escape);
      else if (way == 1)
        form->DeleteStopMnu->trigger();
      else
        QTest::mouseClick(form->ToolBar->widgetForAction(form->DeleteStopMnu), Qt::LeftButton);
      QTRY_VERIFY(!form->WorkerRunning());
      const size_t lines = form->LogView->Lines().Size();
      QVERIFY2(lines < size_t(count), ways[way]);
      QCOMPARE(size_t(QDir(QString::fromStdString(folder)).entryList(QDir::Files).size()), count - lines);
      QVERIFY2(Selected(*form, 0), ways[way]);
      QVERIFY2(Panel(*form, 2).startsWith(u"実行: %1 件削除"_qs.arg(lines)), qPrintable(Panel(*form, 2)));
      QVERIFY(Panel(*form, 2).endsWith(u"（中断）"_qs));
    }
  }

  // A failed line shows in the error colour with a warning icon and its reason as
  // tool tip; F8 and Shift+F8 go from failure to failure, around the end, past lines
  // done and entries already gone; a click on the summary's failure count goes there too.
  void failuresAreMarkedAndFound() {
    TLogView view;
    view.resize(500, 200);
    view.AppendLines({"2024/05/10 15:30:00 RM 0x0000 /a", "2024/05/10 15:30:00 RM 0x0001 /b",
                      "2024/05/10 15:30:00 RM 0x0002 /gone", "2024/05/10 15:30:00 RM 0x0074 /d"});
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QImage image = view.viewport()->grab().toImage();
    const int height = view.fontMetrics().lineSpacing();
    const QColor error = TLogView::ErrorColour(view.palette());
    const QColor background = image.pixelColor(image.width() - 1, image.height() - 1);
    const int left = height + 4;
    // Text pixels near the error colour, right of the icon; icon pixels left of the text.
    auto rowHasErrorColour = [&](int Row) {
      for (int y = Row * height; y < (Row + 1) * height; ++y)
        for (int x = left; x < image.width() / 2; ++x) {
          const QColor c = image.pixelColor(x, y);
          if (std::abs(c.red() - error.red()) < 40 && std::abs(c.green() - error.green()) < 40 &&
              std::abs(c.blue() - error.blue()) < 40)
            return true;
        }
      return false;
    };
    auto rowHasIcon = [&](int Row) {
      for (int y = Row * height; y < (Row + 1) * height; ++y)
        for (int x = 0; x < left - 2; ++x)
          if (image.pixelColor(x, y) != background) return true;
      return false;
    };
    QVERIFY(!rowHasErrorColour(0) && rowHasErrorColour(1) && !rowHasErrorColour(2) && rowHasErrorColour(3));
    QVERIFY(!rowHasIcon(0) && rowHasIcon(1) && !rowHasIcon(2) && rowHasIcon(3));
    // The reason, from the line's code.
    QHelpEvent help(QEvent::ToolTip, QPoint(40, height + height / 2), view.viewport()->mapToGlobal(QPoint(40, height + height / 2)));
    QApplication::sendEvent(view.viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), u"0x0001: 操作が許可されていません"_qs);
    QCOMPARE(TLogView::LineReason("2024/05/10 15:30:00 RM 0x0074 /d"), u"0x0074: 一覧を作った後でエントリが変わりました"_qs);

    view.activateWindow();
    view.setFocus();
    std::vector<qint64> visited;
    for (bool forward : {true, true, true, false, false}) {
      QTest::keyClick(&view, Qt::Key_F8, forward ? Qt::NoModifier : Qt::ShiftModifier);
      visited.push_back(view.CurrentLine());
    }
    QCOMPARE(visited, (std::vector<qint64>{1, 3, 1, 3, 1}));
    QCOMPARE(view.SelectedText(), u"2024/05/10 15:30:00 RM 0x0001 /b"_qs);

    auto form = FormWithRows(2);
    ShowActive(*form);
    form->PatternView->selectAll();
    FLab.Code = "0x000D";
    FLab.Summary.Entries = FLab.Summary.Failed = 2;
    FPrompter.Answers = {mrYes};
    form->DeleteRunMnu->trigger();
    QTRY_VERIFY(!form->WorkerRunning());
    QVERIFY(Panel(*form, 2).contains(u"失敗 2 件"_qs));
    QTest::mouseClick(form->StatusPanels[2], Qt::LeftButton);
    QCOMPARE(form->LogView->CurrentLine(), qint64(0));
    QTest::mouseClick(form->StatusPanels[2], Qt::LeftButton);
    QCOMPARE(form->LogView->CurrentLine(), qint64(1));
  }

  // Ctrl+F opens the find bar; Enter and F3 find the next occurrence, case ignored,
  // around the end, Shift+F3 the previous one; the bar says when there is none.
  void findInTheLog() {
    auto form = FormWithRows(0);
    ShowActive(*form);
    std::vector<std::string> lines{"RM 0x0000 /tmp/Alpha", "RM 0x0000 /tmp/beta", "RM 0x0000 /tmp/ALPHA/x"};
    form->LogView->AppendLines(lines);
    QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(form->LogView->FindBar->isVisible());
    QVERIFY(form->LogView->FindEdit->hasFocus());
    QTest::keyClicks(form->LogView->FindEdit, u"alpha"_qs);
    QTest::keyClick(form->LogView->FindEdit, Qt::Key_Return);
    std::vector<std::pair<qint64, QString>> found{{form->LogView->CurrentLine(), form->LogView->SelectedText()}};
    for (bool forward : {true, true, false}) {
      QTest::keyClick(form.get(), Qt::Key_F3, forward ? Qt::NoModifier : Qt::ShiftModifier);
      found.emplace_back(form->LogView->CurrentLine(), form->LogView->SelectedText());
    }
    QCOMPARE(found, (std::vector<std::pair<qint64, QString>>{{0, u"Alpha"_qs}, {2, u"ALPHA"_qs}, {0, u"Alpha"_qs},
                                                              {2, u"ALPHA"_qs}}));
    form->LogView->FindEdit->setText(u"gamma"_qs);
    QVERIFY(!form->LogView->FindNext(true));
    QCOMPARE(form->LogView->CurrentLine(), qint64(2));
  }

  // The summary tells deleted and trashed entries apart, with the space freed and the
  // folders not found; a row whose folder was not found is marked until the next
  // Test or Run; the run confirmation repeats the last Test's figures while the
  // selection is the one it covered. A Test over a folder due whole forecasts a floor.
  void summaryConfirmationAndMissingFolderMarks() {
    const std::string kept = *FHome / "marks_kept", binned = *FHome / "marks_binned";
    const std::string whole = *FHome / "marks_whole";
    QVERIFY(QDir().mkpath(QString::fromStdString(whole + "/old")));
    WriteFile(whole + "/old/a.tmp", std::string(10000, 'x'));
    const std::string data = *FHome / "marks_data";
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data));
    for (const std::string& folder : {kept, binned}) {
      QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
      WriteFile(folder + "/a.tmp", std::string(10000, 'x'));
    }
    SavePattern(*FHome / "marks.rmp", {{kept, "*.tmp", "", "M+0", "", ""},
                                       {binned, "*.tmp", "", "M+0", "", "B"},
                                       {*FHome / "marks_nowhere", "*.tmp", "", "M+0", "", ""},
                                       {whole, "old", "", "M+0", "D", "T"}});
    auto form = MakeForm({*FHome / "marks.rmp"}, true);
    const QModelIndex missing = form->Model()->index(2, 0);
    form->PatternView->selectAll();
    form->DeleteTestMnu->trigger();
    QTRY_VERIFY(!form->WorkerRunning());
    QVERIFY2(Panel(*form, 2).startsWith(u"テスト: 3 件（うちごみ箱へ 1 件）、"_qs), qPrintable(Panel(*form, 2)));
    QVERIFY2(Panel(*form, 2).endsWith(u" 以上 解放予定、1 フォルダが見つかりません"_qs), qPrintable(Panel(*form, 2)));
    QVERIFY(!form->Model()->data(missing, Qt::DecorationRole).value<QIcon>().isNull());
    QCOMPARE(form->Model()->data(missing, Qt::ToolTipRole).toString(), u"フォルダが見つかりません"_qs);
    QVERIFY(form->Model()->data(form->Model()->index(0, 0), Qt::DecorationRole).isNull());

    // The same rows again: the confirmation repeats the Test's figures.
    form->PatternView->selectAll();
    FPrompter.Answers = {mrNo};
    form->DeleteRunMnu->trigger();
    QCOMPARE(FPrompter.Shown.back().Text, u"ファイル削除を実行しますか？"_qs);
    const QString details = FPrompter.Shown.back().Details;
    QVERIFY2(details.contains(u"選択アイテム: 4 件"_qs) && details.contains(u"うち 1 件はごみ箱へ移動します"_qs) &&
                 details.contains(u"直前のテスト: 3 件"_qs) && details.endsWith(u" 以上 解放予定"_qs),
             qPrintable(details));
    // Another selection: the Test's figures no longer apply.
    form->PatternView->selectionModel()->select(form->Model()->index(2, 0),
                                                QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    FPrompter.Answers = {mrYes};
    form->DeleteRunMnu->trigger();
    QVERIFY2(!FPrompter.Shown.back().Details.contains(u"直前のテスト"_qs), qPrintable(FPrompter.Shown.back().Details));
    QTRY_VERIFY(!form->WorkerRunning());
    QVERIFY2(Panel(*form, 2).startsWith(u"実行: 2 件削除、1 件をごみ箱へ移動、"_qs), qPrintable(Panel(*form, 2)));
    QVERIFY(Panel(*form, 2).endsWith(u"解放、失敗 0 件"_qs) && !Panel(*form, 2).contains(u"以上"_qs));
    QVERIFY(Panel(*form, 2).contains(u"KiB"_qs));
    QVERIFY(form->Model()->data(missing, Qt::DecorationRole).isNull());
    QVERIFY(QFileInfo::exists(QString::fromStdString(data + "/Trash/files/a.tmp")));
    qunsetenv("XDG_DATA_HOME");
  }

  // Text is selected by character, word and line, with the mouse and the keyboard,
  // and copied as selected.
  void logViewSelectsCharactersWordsAndLines() {
    TLogView view;
    view.resize(600, 200);
    view.AppendLines({"2024/05/10 15:30:00 RM 0x0000 /tmp/old-file.log", "second line"});
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QString first = u"2024/05/10 15:30:00 RM 0x0000 /tmp/old-file.log"_qs;
    const QFontMetrics metrics = view.fontMetrics();
    const int y = metrics.lineSpacing() / 2;
    // The x of the middle of the character at Column, in the viewport.
    auto middleOf = [&](int Column) {
      const int left = view.fontMetrics().lineSpacing() + 4;
      return left + (metrics.horizontalAdvance(first.left(Column)) + metrics.horizontalAdvance(first.left(Column + 1))) / 2;
    };
    const int word = int(first.indexOf(u"old-file.log"_qs));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(middleOf(word + 2), y));
    QCOMPARE(view.SelectedText(), u"old-file.log"_qs);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(middleOf(word + 2), y));
    QCOMPARE(view.SelectedText(), first);  // the third click

    QTest::qWait(QApplication::doubleClickInterval() + 50);
    const int path = int(first.indexOf(u"/tmp"_qs));
    QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(middleOf(path) - 2, y));
    QTest::mouseMove(view.viewport(), QPoint(middleOf(path + 3) + 2, y));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(middleOf(path + 3) + 2, y));
    QCOMPARE(view.SelectedText(), u"/tmp"_qs);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"/tmp/"_qs);
    QTest::keyClick(&view, Qt::Key_End);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(view.SelectedText(), u"\nsecond line"_qs);
  }

  void rowsAreFoundByAddressAfterEveryChange() {
    TPatternModel model;
    model.Reset({Item("a"), Item("b"), Item("c")});
    const TPatternRow* b = &model.Row(1);
    QCOMPARE(model.IndexOf(b), 1);
    model.InsertRow(0, Item("z"));
    QCOMPARE(model.IndexOf(b), 2);
    model.RemoveRow(0);
    model.RemoveRow(0);
    QCOMPARE(model.IndexOf(b), 0);
    QCOMPARE(model.MoveUp(0), 1);  // the first row goes to the end, as a new row
    QCOMPARE(model.IndexOf(b), -1);
    QCOMPARE(model.Row(1).Texts, Item("b"));
    QCOMPARE(model.IndexOf(nullptr), -1);
  }

  // Delete, Modify, Up and Down need a row that the user picked: none is current after
  // a load, when the list gets the focus, or after a cancelled Add, until a key or a
  // click picks one.
  void noCurrentRowUntilTheUserPicksOne() {
    auto form = FormWithRows(3);
    ShowActive(*form);
    auto noRowCommand = [&form] {
      return !form->ItemDeleteMnu->isEnabled() && !form->ItemModifyMnu->isEnabled() &&
             !form->ItemUpMnu->isEnabled() && !form->ItemDownMnu->isEnabled();
    };
    for (int round = 0; round < 2; ++round) {
      FEditor.Calls = 0;
      form->LogView->setFocus(Qt::TabFocusReason);
      form->PatternView->setFocus(Qt::TabFocusReason);
      QVERIFY(form->PatternView->hasFocus());
      QVERIFY(!form->PatternView->currentIndex().isValid());
      QVERIFY(noRowCommand());
      QTest::keyClick(form->PatternView, Qt::Key_Delete);
      QTest::keyClick(form->PatternView, Qt::Key_M, Qt::ControlModifier);
      form->ItemAddMnu->trigger();  // cancelled
      QCOMPARE(FEditor.Calls, 1);  // Ctrl+M did not reach it
      QCOMPARE(form->Model()->Count(), 3);
      QVERIFY(!form->PatternView->currentIndex().isValid());
      QTest::keyClick(form->PatternView, Qt::Key_Down);
      QCOMPARE(form->PatternView->currentIndex().row(), 0);
      QVERIFY(RowCommandsEnabled(*form));
      // A cancelled Add gives the current row back to the one the user picked.
      form->ItemAddMnu->trigger();
      QCOMPARE(form->PatternView->currentIndex().row(), 0);
      // Loading a pattern forgets the row, with the focus still in the list.
      FPrompter.OpenNames.push_back(*FHome / "three.rmp");
      form->FileOpenMnu->trigger();
      QVERIFY(!form->PatternView->currentIndex().isValid());
      QVERIFY(noRowCommand());
    }
    QTest::mouseClick(form->PatternView->viewport(), Qt::LeftButton, {},
                      form->PatternView->visualRect(form->Model()->index(1, 0)).center());
    QCOMPARE(form->PatternView->currentIndex().row(), 1);
  }

  // Enter in the list edits the focused row as Ctrl+M does: only a row the user
  // picked, with either Enter key, and not with a modifier that means something else.
  void enterEditsTheFocusedRow() {
    auto form = FormWithRows(2);
    ShowActive(*form);
    FEditor.Accept = true;
    struct TCase {
      int Row;  // -1: none picked
      Qt::Key Key;
      Qt::KeyboardModifiers Modifiers;
      bool Edits;
    } cases[] = {
        {-1, Qt::Key_Return, Qt::NoModifier, false},
        {1, Qt::Key_Return, Qt::NoModifier, true},
        {0, Qt::Key_Enter, Qt::KeypadModifier, true},
        {1, Qt::Key_Return, Qt::ControlModifier, false},
    };
    for (const TCase& c : cases) {
      form->PatternView->selectionModel()->clearCurrentIndex();
      if (c.Row >= 0) Focus(*form, c.Row);
      form->PatternView->setFocus();
      FEditor.Calls = 0;
      FEditor.Result = Item("edited" + std::to_string(c.Row));
      QTest::keyClick(form->PatternView, c.Key, c.Modifiers);
      QCOMPARE(FEditor.Calls, c.Edits ? 1 : 0);
      if (c.Edits) QCOMPARE(Location(*form, c.Row), "edited" + std::to_string(c.Row));
    }
  }

  // Where the window was, how it was divided and the columns the user sized come back
  // at the next start; the other columns keep fitting their contents, and the log
  // settings in the same file stay as they were.
  void windowStateIsRememberedBetweenStarts() {
    SaveSettings({true, *FHome / "kept.log", 77});
    QRect geometry;
    QList<int> splitter;
    int fitted = 0;
    {
      auto form = FormWithRows(2);
      form->show();
      QVERIFY(QTest::qWaitForWindowExposed(form.get()));
      form->setGeometry(40, 30, 700, 460);
      form->Splitter->setSizes({250, 120});
      form->PatternView->header()->resizeSection(2, 173);  // as a drag on its edge does
      geometry = form->geometry();
      splitter = form->Splitter->sizes();
      fitted = form->PatternView->columnWidth(1);
      QVERIFY(form->close());
    }
    auto form = FormWithRows(2);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(form->geometry(), geometry);
    QCOMPARE(form->Splitter->sizes(), splitter);
    QCOMPARE(form->PatternView->columnWidth(2), 173);
    QCOMPARE(form->PatternView->columnWidth(1), fitted);
    // Location takes what the others leave.
    int others = 0;
    for (int column = 1; column < 6; ++column) others += form->PatternView->columnWidth(column);
    QCOMPARE(form->PatternView->columnWidth(0), form->PatternView->viewport()->width() - others);
    const TLogSettings log = LoadSettings();
    QVERIFY(log.SaveLog);
    QCOMPARE(log.LogFile, *FHome / "kept.log");
    QCOMPARE(log.LogLinage, 77);
    form.reset();
    std::filesystem::remove(SettingsFileName());  // later tests start from the design
  }

  // The pattern file dialogs: a mnemonic belongs to a label with a buddy, or the label
  // shows its "&".
  void fileDialogLabelsShowNoAmpersand() {
    for (bool save : {false, true}) {
      QStringList orphans, mnemonics;
      QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
          if (!label->isVisibleTo(dialog) || !label->text().contains(u'&')) continue;
          (label->buddy() ? mnemonics : orphans) << label->text();
        }
        dialog->reject();
      });
      TQtPrompter prompter;
      QVERIFY(!(save ? prompter.SaveFileName(nullptr, {}) : prompter.OpenFileName(nullptr, {})));
      QCOMPARE(orphans, QStringList());
      QVERIFY(mnemonics.contains(u"ファイルの種類(&T):"_qs));
    }
  }

  // What cannot be used at start is said once the window is up, and is not used: a
  // pattern that would not read as written leaves the list empty, settings that root
  // cannot trust give way to the defaults, a line limit of none becomes 256.
  void startProblemsAreShownOnceTheWindowIsUp_data() {
    QTest::addColumn<QString>("problem");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("said");
    QTest::newRow("pattern with a NUL") << u"nul"_qs << int(mkError) << u"[Schedule0] Location"_qs;
    QTest::newRow("settings of another user") << u"owner"_qs << int(mkError) << u"Brisko.ini"_qs;
    QTest::newRow("line limit of none") << u"linage"_qs << int(mkInformation) << u"256"_qs;
  }
  void startProblemsAreShownOnceTheWindowIsUp() {
    QFETCH(QString, problem);
    QFETCH(int, kind);
    QFETCH(QString, said);
    if (problem == u"owner" && geteuid() != 0) QSKIP("the rule holds for root");
    const std::string folder = *FHome / "config/Quillmoor/Brisko";
    QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
    const std::string ini = folder + "/Brisko.ini";
    WriteFile(ini, std::string("[Log]\r\nSave=1\r\nLinage=") + (problem == u"linage" ? "0" : "10") + "\r\n");
    if (problem == u"owner") QVERIFY(chown(ini.c_str(), 65534, 65534) == 0);
    std::vector<std::string> arguments;
    if (problem == u"nul") {
      WriteFile(*FHome / "nul.rmp", std::string("[Schedule0]\r\nLocation=/tmp\0\r\nMask=*\r\n", 37));
      arguments = {*FHome / "nul.rmp"};
    }
    auto form = MakeForm(arguments);
    ShowActive(*form);
    QTRY_COMPARE(FPrompter.Shown.size(), size_t(1));
    std::remove(ini.c_str());
    QCOMPARE(int(FPrompter.Shown[0].Kind), kind);
    QVERIFY2(FPrompter.Shown[0].Text.contains(said), qPrintable(FPrompter.Shown[0].Text));
    QCOMPARE(form->Model()->Count(), 0);
    QCOMPARE(form->SaveLog, problem != u"owner");
    QCOMPARE(form->LogLinage, problem == u"nul" ? 10 : 256);
  }

  void contextMenuOffersTheItemCommands() {
    auto form = FormWithRows(2);
    ShowActive(*form);
    emit form->PatternView->customContextMenuRequested(QPoint(5, 5));
    QTRY_VERIFY(form->ItemMnu->isVisible());
    QVERIFY(form->ItemMnu->actions().contains(form->ItemAddMnu));
    form->ItemMnu->hide();
  }
};

QTEST_MAIN(TMainFormTest)
#include "tst_mainform.moc"
