#include "app/BRISK_Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QLocale>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <utility>

#include "app/Help.h"
#include "app/LogView.h"
#include "app/PatternFile.h"
#include "app/PatternModel.h"
#include "app/Prompter.h"
#include "app/RunHost.h"
#include "app/RunRecord.h"
#include "app/SavedLog.h"
#include "dialogs/UserManager.h"
#include "dialogs/BRISK_Schedule.h"
#include "app/TaskbarProgress.h"
#include "app/Translations.h"
#include "app/UnattendedRun.h"
#include "app/WindowSettings.h"
#include "controls/QtText.h"
#include "dialogs/EditorInterfaces.h"
#include "platform/BriskoError.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"
#include "shell/ShellTypes.h"

namespace {

const QString AppTitle = u"Brisko"_qs;
QString Untitled() { return QCoreApplication::translate("TMainForm", "無題"); }

// The images of the commands, by index: a theme icon and the style's own as fallback.
struct TMenuImage {
  const char* ThemeName;
  QStyle::StandardPixmap Fallback;
};
const TMenuImage MenuImages[11] = {
    {"document-new", QStyle::SP_FileIcon},            // 0 New
    {"document-open", QStyle::SP_DialogOpenButton},   // 1 Open
    {"document-save", QStyle::SP_DialogSaveButton},   // 2 Save
    {"edit-find", QStyle::SP_FileDialogContentsView},  // 3 Test: look, touch nothing
    {"edit-delete", QStyle::SP_TrashIcon},            // 4 Run
    {"process-stop", QStyle::SP_BrowserStop},         // 5 Stop
    {"list-add", QStyle::SP_FileDialogNewFolder},     // 6 Add
    {"list-remove", QStyle::SP_DialogDiscardButton},  // 7 Delete
    {"document-properties", QStyle::SP_FileDialogDetailedView},  // 8 Modify
    {"go-up", QStyle::SP_ArrowUp},                    // 9 Up
    {"go-down", QStyle::SP_ArrowDown},                // 10 Down
};

// Qt makes the first row current when a list without one gets the focus. Here a row
// is current only once the user has picked one, by mouse or by keyboard: Delete,
// Modify, Up and Down act on it.
//
// The Location column takes the width the others leave; each other column fits its
// contents and header, unless the user has dragged it to a width of their own (a
// double click on its edge makes it fit again).
class TPatternView : public QTreeView {
public:
  TPatternView() {
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    connect(header(), &QHeaderView::sectionResized, this, [this](int Column, int, int Width) {
      if (!FFitting && Column > 0 && Column < ColumnCount) FUserWidths[Column] = Width;
    });
    connect(header(), &QHeaderView::sectionHandleDoubleClicked, this, [this](int Column) {
      if (Column > 0 && Column < ColumnCount) FUserWidths[Column] = 0;
      FitColumns();
    });
  }

  void FitColumns() {
    if (!model()) return;
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    FFitting = true;
    for (int column = 1; column < ColumnCount; ++column) {
      if (FUserWidths[column] > 0)
        header()->resizeSection(column, FUserWidths[column]);
      else
        resizeColumnToContents(column);  // the header's own text counts as contents
    }
    FFitting = false;
  }

  // The widths the user chose; 0 for a column that fits its contents.
  QList<int> UserWidths() const { return {FUserWidths, FUserWidths + ColumnCount}; }
  void SetUserWidths(const QList<int>& Widths) {
    if (Widths.size() != ColumnCount) return;
    for (int column = 1; column < ColumnCount; ++column) FUserWidths[column] = Widths[column];
    FitColumns();
  }

protected:
  void focusInEvent(QFocusEvent* Event) override {
    const bool HadCurrent = currentIndex().isValid();
    QTreeView::focusInEvent(Event);
    if (!HadCurrent) selectionModel()->clearCurrentIndex();
    viewport()->update();
  }
  void focusOutEvent(QFocusEvent* Event) override {
    QTreeView::focusOutEvent(Event);
    viewport()->update();
  }
  // Without a current row Qt draws no focus at all, and styles draw a focus frame
  // only once the keyboard has moved the focus: the list as a whole shows that it
  // has it, from the start, with an outline in the selection's colour.
  void paintEvent(QPaintEvent* Event) override {
    QTreeView::paintEvent(Event);
    if (!hasFocus() || currentIndex().isValid()) return;
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Active, QPalette::Highlight), 2));
    painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
  }

private:
  static constexpr int ColumnCount = 6;
  int FUserWidths[ColumnCount] = {};
  bool FFitting = false;
};

TPatternView* ViewOf(QTreeView* View) { return static_cast<TPatternView*>(View); }

QString FileNamePart(const std::string& Path) { return BytesToText(BaseNameOf(Path)); }

}  // namespace

// ---------------------------------------------------------------------------
// Building the window

TMainForm::TMainForm(const std::vector<std::string>& Arguments, TMainFormServices Services, QWidget* Parent)
    : QMainWindow(Parent), FServices(std::move(Services)) {
  if (!FServices.Prompter) {
    FOwnPrompter = std::make_unique<TQtPrompter>();
    FServices.Prompter = FOwnPrompter.get();
  }
  setWindowTitle(AppTitle);
  FModel = new TPatternModel(this);
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateViews();
  CreateStatusBar();
  StatusPanels[2]->installEventFilter(this);  // a click on the failure count goes to the failures
  // The design's size, on a screen too small for it (a laptop at 200 %) as much as fits.
  const QSize design(Scaled(584), Scaled(390) + menuBar()->sizeHint().height());
  resize(design.boundedTo(screen()->availableGeometry().size() * 0.9));
  Splitter->setSizes({Scaled(390 - 24 - 3 - 150 - 19), Scaled(150)});
  RestoreWindowState();
  FormCreate(Arguments);
}

// A worker still running would reach rows that are about to go: the host stops it
// and waits before anything else goes.
TMainForm::~TMainForm() { delete FRunHost; }

int TMainForm::Scaled(int DesignPixels) const {
  // The design font was 11 pixels high with 13 pixels of line height.
  double factor = std::max(1.0, fontMetrics().height() / 13.0);
  return int(DesignPixels * factor + 0.5);
}

QAction* TMainForm::MakeAction(const QString& Caption, const QString& Hint, int Image, void (TMainForm::*Handler)()) {
  auto* action = new QAction(Caption, this);
  action->setToolTip(Hint.section(u'|', 0, 0));
  action->setStatusTip(Hint.section(u'|', 1));
  if (Image >= 0)
    action->setIcon(QIcon::fromTheme(QString::fromLatin1(MenuImages[Image].ThemeName),
                                     style()->standardIcon(MenuImages[Image].Fallback)));
  action->setShortcutContext(Qt::WindowShortcut);
  connect(action, &QAction::triggered, this, [this, Handler] { RunCommand(Handler); });
  return action;
}

void TMainForm::CreateActions() {
  FileNewMnu = MakeAction(tr("新規(&N)"), tr("新規|パターンを新規に作成します"), 0, &TMainForm::FileNewMnuClick);
  FileNewMnu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  FileOpenMnu = MakeAction(tr("開く(&O)..."), tr("開く|既存のパターンを開きます"), 1, &TMainForm::FileOpenMnuClick);
  FileOpenMnu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  FileSaveMnu = MakeAction(tr("上書き保存(&S)"), tr("上書き保存|既存のパターンに上書き保存します"), 2,
                           &TMainForm::FileSaveMnuClick);
  FileSaveMnu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  FileSaveAsMnu = MakeAction(tr("名前を付けて保存(&A)..."), tr("名前を付けて保存|パターンに名前を付けて保存します"), -1,
                             &TMainForm::FileSaveAsMnuClick);
  FileExitMnu = MakeAction(tr("終了(&X)"), tr("終了|アプリケーションを終了します"), -1, &TMainForm::FileExitMnuClick);

  ItemAddMnu = MakeAction(tr("追加(&A)..."), tr("追加|パターンにアイテムを追加します"), 6, &TMainForm::ItemAddMnuClick);
  ItemAddMnu->setShortcut(QKeySequence(Qt::Key_Insert));
  // The same Japanese word as the menu of Test and Run; English tells the two apart.
  ItemDeleteMnu = MakeAction(tr("削除(&D)", "remove an item"), tr("削除|パターンからアイテムを削除します"), 7,
                             &TMainForm::ItemDeleteMnuClick);
  ItemDeleteMnu->setShortcut(QKeySequence(Qt::Key_Delete));
  ItemModifyMnu = MakeAction(tr("変更(&M)..."), tr("変更|アイテムを編集します"), 8, &TMainForm::ItemModifyMnuClick);
  ItemModifyMnu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  ItemUpMnu = MakeAction(tr("上へ(&U)"), tr("上へ|アイテムを上に移動します"), 9, &TMainForm::ItemUpMnuClick);
  ItemDownMnu = MakeAction(tr("下へ(&N)"), tr("下へ|アイテムを下に移動します"), 10, &TMainForm::ItemDownMnuClick);

  DeleteTestMnu = MakeAction(tr("テスト(&T)"), tr("テスト|選択アイテムを実行テストします"), 3, &TMainForm::DeleteTestMnuClick);
  DeleteRunMnu = MakeAction(tr("実行(&R)"), tr("実行|選択アイテムを実行します"), 4, &TMainForm::DeleteRunMnuClick);
  DeleteStopMnu = MakeAction(tr("中止(&S)"), tr("中止|選択アイテムの実行を中止します"), 5, &TMainForm::DeleteStopMnuClick);
  DeleteStopMnu->setShortcut(QKeySequence(Qt::Key_Escape));

  ViewClearMnu = MakeAction(tr("ログをクリア(&C)"), tr("ログをクリア|実行ログをクリアします"), -1,
                            &TMainForm::ViewClearMnuClick);
  ViewClearMnu->setShortcut(QKeySequence(Qt::Key_F5));
  FileScheduleMnu = MakeAction(tr("スケジュール(&H)..."), tr("スケジュール|パターンを定期的に実行します"), -1,
                               &TMainForm::FileScheduleMnuClick);
  ViewLogFileMnu = MakeAction(tr("ログファイル(&L)..."), tr("ログファイル|保存された実行ログを表示します"), -1,
                              &TMainForm::ViewLogFileMnuClick);
  OptionConfigMnu = MakeAction(tr("設定(&C)..."), tr("設定|動作環境を設定します"), -1, &TMainForm::OptionConfigMnuClick);

  HelpManualMnu = MakeAction(tr("マニュアル(&M)"), tr("マニュアル|Brisko のマニュアルを表示します"), -1,
                             &TMainForm::HelpManualMnuClick);
  HelpManualMnu->setShortcut(QKeySequence::HelpContents);
  HelpAboutMnu = MakeAction(tr("バージョン情報(&A)..."), tr("バージョン情報|Brisko のバージョンとライセンスを表示します"), -1,
                            &TMainForm::HelpAboutMnuClick);
}

void TMainForm::CreateMenus() {
  FileMnu = menuBar()->addMenu(tr("ファイル(&F)"));
  FileMnu->addActions({FileNewMnu, FileOpenMnu, FileSaveMnu, FileSaveAsMnu});
  FileMnu->addSeparator();
  FileMnu->addAction(FileScheduleMnu);
  FileMnu->addSeparator();
  FileMnu->addAction(FileExitMnu);
  ItemMnu = menuBar()->addMenu(tr("アイテム(&I)"));
  ItemMnu->addActions({ItemAddMnu, ItemDeleteMnu, ItemModifyMnu});
  ItemMnu->addSeparator();
  ItemMnu->addActions({ItemUpMnu, ItemDownMnu});
  DeleteMnu = menuBar()->addMenu(tr("削除(&D)", "the menu of Test, Run and Stop"));
  DeleteMnu->addActions({DeleteTestMnu, DeleteRunMnu});
  DeleteMnu->addSeparator();
  DeleteMnu->addAction(DeleteStopMnu);
  ViewMnu = menuBar()->addMenu(tr("表示(&V)"));
  ViewMnu->addActions({ViewClearMnu, ViewLogFileMnu});
  OptionMnu = menuBar()->addMenu(tr("オプション(&O)"));
  OptionMnu->addAction(OptionConfigMnu);
  HelpMnu = menuBar()->addMenu(tr("ヘルプ(&H)"));
  HelpMnu->addActions({HelpManualMnu, HelpAboutMnu});
  for (QMenu* menu : {FileMnu, ItemMnu, DeleteMnu, ViewMnu, OptionMnu, HelpMnu}) menu->setToolTipsVisible(false);
}

void TMainForm::CreateToolBar() {
  ToolBar = addToolBar(u"ToolBar"_qs);
  ToolBar->setObjectName(u"ToolBar"_qs);
  ToolBar->setMovable(false);
  ToolBar->setFloatable(false);
  ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBar->toggleViewAction()->setVisible(false);
  ToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
  int icon = style()->pixelMetric(QStyle::PM_SmallIconSize);
  ToolBar->setIconSize(QSize(icon, icon));
  ToolBar->addActions({FileNewMnu, FileOpenMnu, FileSaveMnu});
  ToolBar->addSeparator();
  ToolBar->addActions({ItemAddMnu, ItemDeleteMnu, ItemModifyMnu});
  ToolBar->addSeparator();
  ToolBar->addActions({ItemUpMnu, ItemDownMnu});
  ToolBar->addSeparator();
  ToolBar->addActions({DeleteTestMnu, DeleteRunMnu});
  ToolBar->addSeparator();
  ToolBar->addAction(DeleteStopMnu);
}

void TMainForm::CreateViews() {
  PatternView = new TPatternView;
  PatternView->setObjectName(u"PatternView"_qs);
  PatternView->setModel(FModel);
  PatternView->setRootIsDecorated(false);
  PatternView->setItemsExpandable(false);
  PatternView->setUniformRowHeights(true);
  PatternView->setAllColumnsShowFocus(true);
  PatternView->setSelectionBehavior(QAbstractItemView::SelectRows);
  PatternView->setSelectionMode(QAbstractItemView::ExtendedSelection);
  PatternView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Folders differ at their ends: keep the end of a long path visible.
  PatternView->setTextElideMode(Qt::ElideMiddle);
  PatternView->setContextMenuPolicy(Qt::CustomContextMenu);
  ViewOf(PatternView)->FitColumns();
  // The selection stays as visible when the list loses the focus.
  QPalette palette = PatternView->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  PatternView->setPalette(palette);
  PatternView->installEventFilter(this);
  PatternView->viewport()->installEventFilter(this);
  connect(PatternView, &QWidget::customContextMenuRequested, this, [this] { PatternViewContextPopup(); });
  // Any change of the rows, the selection or the focused row applies the enabling
  // rule, so the commands that change the list leave that to these signals.
  connect(PatternView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateCommands(); });
  connect(PatternView->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { UpdateCommands(); });
  connect(FModel, &QAbstractItemModel::dataChanged, this, [this] { UpdateCommands(); });
  connect(FModel, &QAbstractItemModel::rowsInserted, this, [this] { UpdateCommands(); });
  connect(FModel, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateCommands(); });
  connect(FModel, &QAbstractItemModel::modelReset, this, [this] { UpdateCommands(); });
  // The columns other than Location follow what they hold.
  auto fitColumns = [this] { ViewOf(PatternView)->FitColumns(); };
  connect(FModel, &QAbstractItemModel::modelReset, this, fitColumns);
  connect(FModel, &QAbstractItemModel::rowsInserted, this, fitColumns);
  connect(FModel, &QAbstractItemModel::rowsRemoved, this, fitColumns);
  connect(FModel, &QAbstractItemModel::dataChanged, this, fitColumns);

  LogView = new TLogView;
  LogView->setObjectName(u"LogView"_qs);

  Splitter = new QSplitter(Qt::Vertical);
  Splitter->setObjectName(u"Splitter"_qs);
  Splitter->setChildrenCollapsible(false);
  Splitter->setHandleWidth(Scaled(3) + 1);
  Splitter->addWidget(PatternView);
  Splitter->addWidget(LogView);
  Splitter->setStretchFactor(0, 1);
  Splitter->setStretchFactor(1, 0);
  setCentralWidget(Splitter);
}

void TMainForm::CreateStatusBar() {
  const int widths[3] = {75, 50, 50};
  for (int i = 0; i < 3; ++i) {
    StatusPanels[i] = new QLabel;
    StatusPanels[i]->setMinimumWidth(Scaled(widths[i]));
    StatusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(StatusPanels[i], i == 2 ? 1 : 0);
  }
  StatusPanels[1]->setAlignment(Qt::AlignCenter);
  // Panel 2 shows the progress of a test or run, then what it did.
  ProgressBar = new QProgressBar;
  ProgressBar->setObjectName(u"ProgressBar"_qs);
  ProgressBar->setMaximumHeight(StatusPanels[2]->sizeHint().height());
  ProgressBar->setTextVisible(false);
  ProgressBar->hide();
  auto* layout = new QHBoxLayout(StatusPanels[2]);
  layout->setContentsMargins(2, 1, 2, 1);
  layout->addWidget(ProgressBar);

  ScheduleStatus = new TScheduleStatus(TDBusUserManager::ForSession(), [this] { return FPatternFile; }, this);
  statusBar()->addPermanentWidget(ScheduleStatus);
}

// ---------------------------------------------------------------------------
// Start-up, settings, command line

void TMainForm::FormCreate(const std::vector<std::string>& Arguments) {
  LoadSettings();
  FRun = false;
  FPatternFile.clear();
  FModified = false;
  CreateRunHost();
  ProcessCommandLine(Arguments);
}

void TMainForm::ProcessCommandLine(const std::vector<std::string>& Arguments) {
  TCommandLine line = ParseCommandLine(Arguments);
  if (Arguments.empty()) NewPattern();
  for (const std::string& file : line.Files) {
    try {
      LoadPattern(ResolvePatternArgument(file));
    } catch (const std::exception& error) {
      FStartErrors << ErrorText(error);
    }
  }
  FRun = line.Run;
  FStartState = line.WindowState;
  if (line.ShowLog) RunCommand(&TMainForm::ViewConfiguredLogFile);
  // Switches alone leave the list untouched, and no signal has set the commands yet.
  UpdateCommands();
}

void TMainForm::ShowInitial() {
  if (FStartState == swsMaximized)
    showMaximized();
  else if (FStartState == swsMinimized)
    showMinimized();
  else
    show();
}

// Settings that cannot be trusted are not used: the defaults stand, and the window
// says why once it is up.
void TMainForm::LoadSettings() {
  TLogSettings settings;
  settings.LogFile = DefaultLogFileName();
  std::vector<EBriskoError> warnings;
  try {
    settings = ::LoadSettings(&warnings);
  } catch (const std::exception& error) {
    FStartErrors << ErrorText(error);
  }
  for (const EBriskoError& warning : warnings) FStartWarnings << ErrorText(warning);
  SaveLog = settings.SaveLog;
  LogFile = settings.LogFile;
  LogLinage = settings.LogLinage;
}

void TMainForm::SaveSettings() { ::SaveSettings(TLogSettings{SaveLog, LogFile, LogLinage}); }

// The window opens where the user left it. Qt moves a saved place that is off every
// screen now back onto one.
void TMainForm::RestoreWindowState() {
  TWindowSettings settings;
  try {
    settings = LoadWindowSettings();
  } catch (const std::exception&) {
    return;  // the window's place is no reason to keep the program from starting
  }
  if (!settings.Geometry.isEmpty()) restoreGeometry(settings.Geometry);
  if (settings.SplitterSizes.size() == 2) Splitter->setSizes(settings.SplitterSizes);
  ViewOf(PatternView)->SetUserWidths(settings.ColumnWidths);
}

void TMainForm::SaveWindowState() {
  try {
    SaveWindowSettings({saveGeometry(), Splitter->sizes(), ViewOf(PatternView)->UserWidths()});
  } catch (const std::exception&) {
    // A settings file that cannot be written is reported when the options are saved;
    // the window's place is not worth a message at the end of the program.
  }
}

void TMainForm::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  if (FIdleHandlerSet || (!FRun && FStartErrors.isEmpty() && FStartWarnings.isEmpty())) return;
  FIdleHandlerSet = true;
  // A zero timer fires once the queue of pending events has been worked off.
  QTimer::singleShot(0, this, [this] { RunCommand(&TMainForm::ApplicationIdleAtOnce); });
}

// Says what went wrong at start; true when something could not be read.
bool TMainForm::ReportStartProblems() {
  for (const QString& warning : std::exchange(FStartWarnings, {})) {
    if (Unattended())
      std::fprintf(stderr, "brisko: %s\n",
                   Say(QT_TRANSLATE_NOOP("TRunText", "警告: %1"), {TextToBytes(warning)}).c_str());
    else
      FServices.Prompter->MessageBox(this, warning, AppTitle, mkInformation, mbOK);
  }
  const QStringList errors = std::exchange(FStartErrors, {});
  for (const QString& error : errors) ReportError(error);
  return !errors.isEmpty();
}

void TMainForm::ApplicationIdleAtOnce() {
  if (FEndingBySignal) return;  // a signal came before the run could start
  // An automatic run does not go ahead without its pattern or its settings.
  const bool failed = ReportStartProblems();
  if (!FRun) return;
  if (failed) {
    close();
    return;
  }
  if (FModel->Count() == 0) {
    if (FServices.Headless) {
      // Nobody could close a window that nobody sees: the scheduled job would never end.
      ReportError(BytesToText(Say(QT_TRANSLATE_NOOP("TRunText", "'%1' には実行するアイテムがありません"),
                                  {EscapeBytes(FPatternFile)})));
      close();
      return;
    }
    // The window stays for normal use: errors in boxes, questions asked.
    FRun = false;
    return;
  }
  if (Unattended()) {
    // A log this run may not write ends it before anything is removed.
    if (!Record().CheckLog()) {
      close();
      return;
    }
    WarnUnreadableLocations(FModel->Items());
  }
  PatternView->selectAll();
  RemoveThreadExecute(false);
}

// The record of an unattended run is that of the headless run; the window's one
// difference is that its lines also stay in the view.
TRunRecord& TMainForm::Record() {
  if (!FRecord)
    FRecord = std::make_unique<TRunRecord>(false, TLogSettings{SaveLog, LogFile, LogLinage},
                                           [](const EBriskoError& Error) { return TextToBytes(ErrorText(Error)); },
                                           TRunOutput(FServices.Verbose, FServices.Verbose));
  return *FRecord;
}

// ---------------------------------------------------------------------------
// Document state

void TMainForm::SetPatternFile(const std::string& Value) {
  if (Value == FPatternFile) return;
  FPatternFile = Value;
  setWindowTitle(u"%1 - %2"_qs.arg(Value.empty() ? Untitled() : FileNamePart(Value), AppTitle));
}

void TMainForm::SetModified(bool Value) {
  if (Value == FModified) return;
  FModified = Value;
  StatusPanels[1]->setText(Value ? tr("変更") : QString());
}

int TMainForm::FocusedRow() const {
  QModelIndex current = PatternView->selectionModel()->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TMainForm::FocusRow(int Position) {
  PatternView->selectionModel()->setCurrentIndex(FModel->index(Position, 0), QItemSelectionModel::NoUpdate);
}

int TMainForm::SelectedCount() const { return int(PatternView->selectionModel()->selectedRows().size()); }

void TMainForm::UpdateCommands() {
  if (!PatternView || !StatusPanels[0]) return;  // still being built
  bool rowRule = FocusedRow() >= 0 && !WorkerRunning();
  int selected = SelectedCount();
  for (QAction* action : {ItemDeleteMnu, ItemModifyMnu, ItemUpMnu, ItemDownMnu}) action->setEnabled(rowRule);
  for (QAction* action : {DeleteTestMnu, DeleteRunMnu}) action->setEnabled(selected > 0);
  DeleteStopMnu->setEnabled(WorkerRunning());
  StatusPanels[0]->setText(tr("%1/%2 選択").arg(selected).arg(FModel->Count()));
}

void TMainForm::NewPattern() {
  SetPatternFile({});
  FModel->Reset({});
  SetModified(false);
}

void TMainForm::LoadPattern(const std::string& FileName) {
  std::vector<TItemTexts> items = ::LoadPattern(FileName);
  FModel->Reset(items);
  SetPatternFile(FileName);
  SetModified(false);
}

bool TMainForm::SavePattern(const std::string& FileName) {
  std::string name = FileName;
  if (name.empty()) {
    std::optional<std::string> chosen = FServices.Prompter->SaveFileName(this, FSaveDlgFileName);
    if (!chosen) return false;
    name = *chosen;
    FSaveDlgFileName = name;
  }
  ::SavePattern(name, FModel->Items());
  SetPatternFile(name);
  SetModified(false);
  return true;
}

int TMainForm::ConfirmSave() {
  if (!FModified || FEndingBySignal) return 0;
  QString name = FPatternFile.empty() ? Untitled() : FileNamePart(FPatternFile);
  if (FServices.Headless) return mrNo;  // nobody can have changed it, nobody can answer
  return FServices.Prompter->MessageBox(this, tr("%1 の変更を保存しますか？").arg(name), tr("情報", "save question"),
                                        mkInformation, mbSaveDiscardCancel);
}

// The save-changes question with its answer carried out. False ends the command:
// Cancel, and also a save that did not happen (its dialog cancelled, or it failed
// with an error, which propagates), since going on would throw the changes away.
bool TMainForm::SaveChangesFirst() {
  int answer = ConfirmSave();
  if (answer == mrCancel) return false;
  if (answer == mrYes) return SavePattern(FPatternFile);
  return true;
}

// The lines of the view not yet in the file; only the newest LogLinage can stay there.
void TMainForm::SaveLogFile() {
  const TLogLines& lines = LogView->Lines();
  const size_t unsaved = lines.Size() - std::min(FLogSaved, lines.Size());
  std::vector<std::string> newest;
  for (std::string_view line : lines.Tail(std::min(unsaved, size_t(std::max(LogLinage, 0))))) newest.emplace_back(line);
  ::SaveLogFile(LogFile, newest, LogLinage);
  FLogSaved = lines.Size();
}

void TMainForm::FormDestroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  if (Unattended()) return Record().Close();
  if (!SaveLog) return;
  try {
    SaveLogFile();
  } catch (const std::exception& error) {
    ReportError(ErrorText(error));
  }
}

void TMainForm::ReportError(const QString& Message) {
  if (Unattended()) return Record().Fail(TextToBytes(Message));
  FServices.Prompter->MessageBox(this, Message, AppTitle, mkError, mbOK);
}

// ---------------------------------------------------------------------------
// Commands

void TMainForm::RunCommand(void (TMainForm::*Handler)()) {
  try {
    (this->*Handler)();
  } catch (const std::exception& error) {
    ReportError(ErrorText(error));
  }
}

void TMainForm::Issue(QAction* Command) {
  if (Command->isEnabled()) Command->trigger();
}

void TMainForm::FileNewMnuClick() {
  Issue(DeleteStopMnu);
  if (!SaveChangesFirst()) return;
  FRunHost->Wait();
  NewPattern();
}

void TMainForm::FileOpenMnuClick() {
  Issue(DeleteStopMnu);
  if (!SaveChangesFirst()) return;
  std::optional<std::string> name = FServices.Prompter->OpenFileName(this, FPatternFile);
  if (!name) return;
  FRunHost->Wait();
  LoadPattern(*name);
}

void TMainForm::FileSaveMnuClick() { SavePattern(FPatternFile); }

void TMainForm::FileSaveAsMnuClick() {
  std::optional<std::string> name = FServices.Prompter->SaveFileName(this, FPatternFile);
  if (!name) return;
  FSaveDlgFileName = *name;
  SavePattern(*name);
}

void TMainForm::FileExitMnuClick() { close(); }

void TMainForm::ItemAddMnuClick() {
  const QPersistentModelIndex focused = PatternView->currentIndex();
  int position = FModel->AppendRow({});
  FocusRow(position);
  const TPatternRow* row = &FModel->Row(position);
  TItemTexts texts{};
  bool accepted = FServices.ItemEditor && FServices.ItemEditor->EditItem(this, texts);
  // The list may have changed while the dialog ran; find the new row by its address.
  position = FModel->IndexOf(row);
  if (position < 0) return;
  if (accepted) {
    FModel->SetTexts(position, texts);
    SetModified(true);
  } else {
    FModel->RemoveRow(position);
    // Qt hands the current row on to a neighbour; the row focused before (or none) is current again.
    PatternView->selectionModel()->setCurrentIndex(focused, QItemSelectionModel::NoUpdate);
  }
}

void TMainForm::ItemDeleteMnuClick() {
  int position = FocusedRow();
  if (position < 0) return;
  FModel->RemoveRow(position);
  SetModified(true);
}

void TMainForm::ItemModifyMnuClick() {
  int position = FocusedRow();
  if (position < 0) return;
  TItemTexts texts = FModel->Row(position).Texts;
  if (!FServices.ItemEditor || !FServices.ItemEditor->EditItem(this, texts)) return;
  FModel->SetTexts(position, texts);
  SetModified(true);
}

void TMainForm::ItemUpMnuClick() {
  int position = FocusedRow();
  if (position < 0) return;
  FocusRow(FModel->MoveUp(position));
  SetModified(true);
}

void TMainForm::ItemDownMnuClick() {
  int position = FocusedRow();
  if (position < 0) return;
  FocusRow(FModel->MoveDown(position));
  SetModified(true);
}

void TMainForm::DeleteTestMnuClick() {
  Issue(DeleteStopMnu);
  RemoveThreadExecute(true);
}

void TMainForm::DeleteRunMnuClick() {
  Issue(DeleteStopMnu);
  if (FServices.Prompter->MessageBox(this, tr("ファイル削除を実行しますか？"), RunConfirmationDetails(), tr("確認"),
                                     mkConfirmation, mbYesNo) != mrYes)
    return;
  RemoveThreadExecute(false);
}

TMainForm::TRowTexts TMainForm::SelectedRowTexts() const {
  TRowTexts rows;
  for (int i = 0; i < FModel->Count(); ++i)
    if (PatternView->selectionModel()->isRowSelected(i, QModelIndex()))
      rows.emplace_back(&FModel->Row(i), FModel->Row(i).Texts);
  return rows;
}

// What the user decides on: how much is selected, what of it only goes to the trash,
// and what the last Test found when it covered exactly these rows as they are now.
QString TMainForm::RunConfirmationDetails() const {
  const TRowTexts rows = SelectedRowTexts();
  const std::string trash = GetSpecialFolderName(CSIDL_BITBUCKET);
  int toTrash = 0;
  for (const auto& [row, texts] : rows)
    if (texts[itLocation] != trash && texts[itOption].find('B') != std::string::npos) ++toTrash;
  QString text = tr("選択アイテム: %n 件", nullptr, int(rows.size()));
  if (toTrash > 0) text += u'\n' + tr("うち %n 件はごみ箱へ移動します", nullptr, toTrash);
  if (FLastTest && FLastTest->Rows == rows) {
    const TRunSummary& tested = FLastTest->Summary;
    text += u'\n' + tr("直前のテスト: %n 件、%1 解放予定", nullptr, int(tested.Entries)).arg(SpaceText(tested));
  }
  return text;
}

void TMainForm::DeleteStopMnuClick() { FRunHost->Stop(); }

void TMainForm::ViewClearMnuClick() {
  if (SaveLog && !Unattended()) SaveLogFile();
  LogView->clear();
  FLogSaved = 0;
}

void TMainForm::OptionConfigMnuClick() {
  TLogSettings settings{SaveLog, LogFile, LogLinage};
  if (!FServices.OptionsEditor || !FServices.OptionsEditor->EditOptions(this, settings)) return;
  SaveLog = settings.SaveLog;
  LogFile = settings.LogFile;
  LogLinage = settings.LogLinage;
  SaveSettings();
}

void TMainForm::HelpManualMnuClick() { ShowManual(this); }

void TMainForm::HelpAboutMnuClick() { ShowAbout(this); }

void TMainForm::PatternViewContextPopup() { ItemMnu->popup(QCursor::pos()); }

bool TMainForm::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == StatusPanels[2] && Event->type() == QEvent::MouseButtonRelease && FSummaryFailures > 0) {
    LogView->NextFailure(true);
    LogView->setFocus();
    return true;
  }
  if (Watched == PatternView && Event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(Event);
    if (key->key() == Qt::Key_A && (key->modifiers() & Qt::ControlModifier)) PatternView->selectAll();
    // Enter edits the focused row, as a double click does.
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        !(key->modifiers() & ~Qt::KeypadModifier)) {
      Issue(ItemModifyMnu);
      return true;
    }
  } else if (Watched == PatternView->viewport() && Event->type() == QEvent::MouseButtonDblClick) {
    Issue(ItemModifyMnu);
    return true;
  }
  return QMainWindow::eventFilter(Watched, Event);
}

void TMainForm::closeEvent(QCloseEvent* Event) {
  try {
    Issue(DeleteStopMnu);
    if (!SaveChangesFirst()) {
      Event->ignore();
      return;
    }
  } catch (const std::exception& error) {
    Event->ignore();
    ReportError(ErrorText(error));
    return;
  }
  FRunHost->Wait();
  if (!Unattended()) SaveWindowState();
  FormDestroy();
  Event->accept();
}

// ---------------------------------------------------------------------------
// Worker

void TMainForm::CreateRunHost() {
  FRunHost = new TRunHost(*FModel, *PatternView->selectionModel(), *LogView, *ProgressBar,
                          FServices.ProgressFactory ? FServices.ProgressFactory() : TTaskbarProgress::Create(),
                          FServices.WorkerFactory, nullptr);
  FRunHost->OnStart = [this] {
    StatusPanels[2]->clear();
    FSummaryFailures = 0;
    FModel->ClearLocationErrors();
    FWorkerRows = SelectedRowTexts();
    UpdateCommands();
  };
  FRunHost->OnLines = [this](std::vector<std::string>& Lines) {
    if (Unattended()) Record().Take(Lines);
  };
  FRunHost->OnEnd = [this](const TRunEnd& End) { RunEnded(End); };
  FRunHost->OnError = [this](const std::exception& Error) { ReportError(ErrorText(Error)); };
}

bool TMainForm::WorkerRunning() const { return FRunHost->Running(); }

int TMainForm::ExitCode() const { return FRecord ? FRecord->ExitStatus() : 0; }

// One worker at a time: a command that finds one still ending starts its own when
// it is gone.
void TMainForm::RemoveThreadExecute(bool TestRun) { FRunHost->Start(TestRun); }

void TMainForm::RunEnded(const TRunEnd& End) {
  ShowSummary(End.Summary, End.Stopped || End.Error, End.TestRun);
  // A run changes what a Test found; a Test cut short found only part of it.
  if (End.TestRun && !End.Stopped && !End.Error)
    FLastTest = TTestedSelection{std::move(FWorkerRows), End.Summary};
  else
    FLastTest.reset();
  emit WorkerEnded();
  UpdateCommands();
  if (Unattended())
    Record().End(End.Summary, End.Error);
  else if (End.Error)
    ReportError(ErrorText(*End.Error));
  if (FRun && FRunHost->Pending()) {
    // A Test or Run the user chose during the automatic run is carried out; the
    // window then stays for normal use, and the automatic run's record is complete.
    Record().Close();
    FLogSaved = LogView->Lines().Size();
    FRun = false;
  } else if (FRun) {
    close();
  }
}

// A signal asks the process to end: the run stops at its next entry, and the window
// closes as Exit does, without a question nobody may be there to answer.
void TMainForm::EndBySignal(int Signal) {
  Record().Interrupted(Signal);
  FEndingBySignal = true;
  FRunHost->Interrupt();
  while (QWidget* modal = QApplication::activeModalWidget()) {
    modal->close();
    if (QApplication::activeModalWidget() == modal) break;
  }
  close();
}

// The space a run freed or a Test forecasts, in binary units; a Test measures
// folders due whole as themselves only, so its figure is then a floor.
QString TMainForm::SpaceText(const TRunSummary& Summary) {
  const QString space = QLocale().formattedDataSize(qint64(Summary.Bytes), 1, QLocale::DataSizeIecFormat);
  return Summary.BytesLowerBound ? tr("%1 以上").arg(space) : space;
}

// Entries deleted and entries moved to the trash apart, since the trash can give
// back what it took; the space is what the removals free (engine/FreedSpace), in
// binary units. %n: English counts "1 entry" but "2 entries".
void TMainForm::ShowSummary(const TRunSummary& Summary, bool Stopped, bool TestRun) {
  const QString space = SpaceText(Summary);
  QString text;
  if (TestRun) {
    text = tr("テスト: %n 件", nullptr, int(Summary.Entries));
    if (Summary.Trashed > 0) text += tr("（うちごみ箱へ %n 件）", nullptr, int(Summary.Trashed));
    text += tr("、%1 解放予定").arg(space);
  } else {
    text = tr("実行: %n 件削除", nullptr, int(Summary.Removed - Summary.Trashed));
    if (Summary.Trashed > 0) text += tr("、%n 件をごみ箱へ移動", nullptr, int(Summary.Trashed));
    text += tr("、%1 解放、失敗 %2 件").arg(space).arg(Summary.Failed);
  }
  if (Summary.MissingFolders > 0) text += tr("、%n フォルダが見つかりません", nullptr, int(Summary.MissingFolders));
  if (Stopped) text += tr("（中断）");
  StatusPanels[2]->setText(text);
  FSummaryFailures = Summary.Failed;
  StatusPanels[2]->setCursor(FSummaryFailures > 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
  StatusPanels[2]->setToolTip(FSummaryFailures > 0 ? tr("クリックすると次の失敗へ移動します") : QString());
}

// The schedule belongs to the pattern file, so the pattern is saved first.
void TMainForm::FileScheduleMnuClick() {
  if (FPatternFile.empty() || FModified) {
    if (FServices.Prompter->MessageBox(this, tr("スケジュールを設定するには、パターンを保存します。保存しますか？"),
                                       tr("確認"), mkConfirmation, mbYesNo) != mrYes)
      return;
    if (!SavePattern(FPatternFile)) return;
  }
  TScheduleDialog dialog(ScheduleStatus->Manager(), FPatternFile,
                         TextToBytes(QCoreApplication::applicationFilePath()), this);
  dialog.exec();
  ScheduleStatus->Refresh();
}

void TMainForm::ViewLogFileMnuClick() {
  const QString name = QFileDialog::getOpenFileName(this, tr("ログファイル"), BytesToText(LogFile),
                                                    tr("ログファイル (*.log);;すべてのファイル (*)"));
  if (!name.isEmpty()) ShowLogFile(TextToBytes(name));
}

void TMainForm::ViewConfiguredLogFile() { ShowLogFile(LogFile); }

void TMainForm::ShowLogFile(const std::string& FileName) {
  // The lines of a running test or run would land among the file's.
  if (WorkerRunning()) return;
  // This session's lines reach the log first, so none is lost and the file has them.
  if (SaveLog) SaveLogFile();
  const std::string text = ReadSavedLog(FileName);
  LogView->clear();
  // In batches: a million lines never stand as a million strings at once.
  std::vector<std::string> batch;
  SplitLogLines(text, [&](std::string_view Line) {
    batch.emplace_back(Line);
    if (batch.size() < 8192) return;
    LogView->AppendLines(batch);
    batch.clear();
  });
  LogView->AppendLines(batch);
  // They came from a file: the log is never given them again.
  FLogSaved = LogView->Lines().Size();
}
