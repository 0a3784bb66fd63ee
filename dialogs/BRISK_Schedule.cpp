#include "dialogs/BRISK_Schedule.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "dialogs/UserManager.h"
#include "controls/QtText.h"

namespace {

// While the dialog is open, the times and the result follow the manager this often.
constexpr int RefreshInterval = 2000;

QString TimeText(const QDateTime& Time) {
  return Time.isValid() ? Time.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")) : QStringLiteral("-");
}

}  // namespace

TScheduleDialog::TScheduleDialog(TUserManager& Manager, const std::string& PatternFile, const std::string& Program,
                                 QWidget* Parent)
    : QDialog(Parent),
      FManager(Manager),
      FPatternFile(PatternFile),
      FProgram(Program),
      FTimer(QString::fromStdString(TimerUnitName(PatternFile))),
      FService(QString::fromStdString(ServiceUnitName(PatternFile))),
      FHasManager(Manager.Available()) {
  setObjectName(QStringLiteral("ScheduleDialog"));
  setWindowTitle(tr("スケジュール - %1").arg(QFileInfo(BytesToText(PatternFile)).fileName()));

  KindCbx = new QComboBox(this);
  KindCbx->addItems({tr("しない"), tr("1 時間ごと"), tr("毎日"), tr("毎週"), tr("毎月")});
  WeekDayCbx = new QComboBox(this);
  WeekDayCbx->addItems({tr("月曜日"), tr("火曜日"), tr("水曜日"), tr("木曜日"), tr("金曜日"), tr("土曜日"), tr("日曜日")});
  MonthDaySpn = new QSpinBox(this);
  MonthDaySpn->setRange(1, 28);
  MonthDaySpn->setSuffix(tr(" 日"));
  TimeEdt = new QTimeEdit(this);
  TimeEdt->setDisplayFormat(QStringLiteral("HH:mm"));
  CatchUpChk = new QCheckBox(tr("実行できなかった分を次の起動時に実行する(&M)"), this);
  MainsOnlyChk = new QCheckBox(tr("AC 電源につながっているときだけ実行する(&P)"), this);
  NotifyChk = new QCheckBox(tr("実行のたびに通知する(&N)"), this);
  NextRunLbl = new QLabel(this);
  LastRunLbl = new QLabel(this);
  LastResultLbl = new QLabel(this);
  MessageLbl = new QLabel(this);
  MessageLbl->setWordWrap(true);
  CrontabEdt = new QLineEdit(this);
  CrontabEdt->setReadOnly(true);
  CopyBtn = new QPushButton(tr("コピー(&C)"), this);
  Buttons = new QDialogButtonBox(QDialogButtonBox::Apply | QDialogButtonBox::Close, this);
  Buttons->button(QDialogButtonBox::Apply)->setText(tr("適用(&A)"));
  Buttons->button(QDialogButtonBox::Close)->setText(tr("閉じる"));
  ArrangeControls();

  TSchedule current = ReadSchedule(PatternFile);
  // A timer enabled by hand, without our drop-in, runs as the unit says: every day.
  if (current.Kind == TScheduleKind::Off && FHasManager && FManager.TimerTimes(FTimer).NextRun.isValid()) {
    current.Kind = TScheduleKind::Daily;
    current.Hour = 0;
  }
  ShowSchedule(current);

  // Every field changes the crontab line; the kind also which fields are shown.
  for (QComboBox* box : {KindCbx, WeekDayCbx})
    connect(box, &QComboBox::currentIndexChanged, this, &TScheduleDialog::UpdateFields);
  connect(MonthDaySpn, &QSpinBox::valueChanged, this, &TScheduleDialog::UpdateFields);
  connect(TimeEdt, &QTimeEdit::timeChanged, this, &TScheduleDialog::UpdateFields);
  connect(NotifyChk, &QCheckBox::toggled, this, &TScheduleDialog::UpdateFields);
  connect(CopyBtn, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(CrontabEdt->text()); });
  connect(Buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] { Apply(); });
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  FRefreshTimer = new QTimer(this);
  FRefreshTimer->setInterval(RefreshInterval);
  connect(FRefreshTimer, &QTimer::timeout, this, &TScheduleDialog::Refresh);
  if (FHasManager) FRefreshTimer->start();
  UpdateFields();
  Refresh();
}

void TScheduleDialog::ArrangeControls() {
  auto* when = new QHBoxLayout;
  when->addWidget(WeekDayCbx);
  when->addWidget(MonthDaySpn);
  when->addWidget(TimeEdt);
  when->addStretch(1);

  auto* fields = new QFormLayout;
  fields->addRow(tr("実行(&S):"), KindCbx);
  // A row of several fields: its label leads to the time, the one always there.
  auto* whenLabel = new QLabel(tr("日時(&T):"), this);
  whenLabel->setBuddy(TimeEdt);
  fields->addRow(whenLabel, when);

  auto* state = new QGroupBox(tr("状態"), this);
  auto* stateRows = new QFormLayout(state);
  stateRows->addRow(tr("次回の実行:"), NextRunLbl);
  stateRows->addRow(tr("前回の実行:"), LastRunLbl);
  stateRows->addRow(tr("前回の結果:"), LastResultLbl);

  auto* crontab = new QHBoxLayout;
  crontab->addWidget(CrontabEdt, 1);
  crontab->addWidget(CopyBtn);

  auto* form = new QVBoxLayout(this);
  form->addLayout(fields);
  form->addWidget(CatchUpChk);
  form->addWidget(MainsOnlyChk);
  form->addWidget(NotifyChk);
  form->addWidget(state);
  form->addWidget(MessageLbl);
  form->addLayout(crontab);
  form->addWidget(Buttons);
  CrontabEdt->setMinimumWidth(420);
  state->setVisible(FHasManager);
  // cron has no catching up and no power condition.
  CatchUpChk->setVisible(FHasManager);
  MainsOnlyChk->setVisible(FHasManager);
  CrontabEdt->setVisible(!FHasManager);
  CopyBtn->setVisible(!FHasManager);
  Buttons->button(QDialogButtonBox::Apply)->setVisible(FHasManager);
  if (!FHasManager)
    MessageLbl->setText(tr("systemd のユーザーマネージャーに接続できません。次の行を crontab に加えると"
                           "同じ間隔で実行されます (crontab -e):"));
  if (FHasManager && FTimer.isEmpty())
    MessageLbl->setText(tr("このパターンのファイル名は長すぎて、タイマーの名前にできません。"));
}

void TScheduleDialog::ShowSchedule(const TSchedule& Schedule) {
  KindCbx->setCurrentIndex(static_cast<int>(Schedule.Kind));
  WeekDayCbx->setCurrentIndex(Schedule.WeekDay - 1);
  MonthDaySpn->setValue(Schedule.MonthDay);
  TimeEdt->setTime(QTime(Schedule.Hour, Schedule.Minute));
  CatchUpChk->setChecked(Schedule.CatchUp);
  MainsOnlyChk->setChecked(Schedule.MainsOnly);
  NotifyChk->setChecked(Schedule.NotifyAlways);
}

TSchedule TScheduleDialog::Chosen() const {
  TSchedule s;
  s.Kind = static_cast<TScheduleKind>(KindCbx->currentIndex());
  s.WeekDay = WeekDayCbx->currentIndex() + 1;
  s.MonthDay = MonthDaySpn->value();
  s.Hour = TimeEdt->time().hour();
  s.Minute = TimeEdt->time().minute();
  s.CatchUp = CatchUpChk->isChecked();
  s.MainsOnly = MainsOnlyChk->isChecked();
  s.NotifyAlways = NotifyChk->isChecked();
  return s;
}

void TScheduleDialog::UpdateFields() {
  const TScheduleKind kind = static_cast<TScheduleKind>(KindCbx->currentIndex());
  const bool on = kind != TScheduleKind::Off;
  WeekDayCbx->setVisible(kind == TScheduleKind::Weekly);
  MonthDaySpn->setVisible(kind == TScheduleKind::Monthly);
  TimeEdt->setEnabled(on && kind != TScheduleKind::Hourly);
  for (QCheckBox* box : {CatchUpChk, MainsOnlyChk, NotifyChk}) box->setEnabled(on);
  CrontabEdt->setText(BytesToText(CrontabLine(Chosen(), FProgram, FPatternFile)));
  Buttons->button(QDialogButtonBox::Apply)->setEnabled(FHasManager && !FTimer.isEmpty());
}

QString TScheduleDialog::Tell(const TSchedule& Schedule) {
  const QStringList timer{FTimer};
  if (Schedule.Kind == TScheduleKind::Off) {
    // A timer that was never started answers an error here; disabling is what counts.
    FManager.StopUnit(FTimer);
    QString error = FManager.DisableUnitFiles(timer);
    if (error.isEmpty()) error = QString::fromStdString(WriteSchedule(FPatternFile, Schedule));
    if (error.isEmpty()) error = FManager.Reload();
    return error;
  }
  const TSchedule before = ReadSchedule(FPatternFile);
  QString error = QString::fromStdString(WriteSchedule(FPatternFile, Schedule));
  if (!error.isEmpty()) return error;
  error = FManager.EnableUnitFiles(timer);
  // A timer the manager does not know (units not installed) keeps the schedule it had,
  // so the drop-ins never tell of a schedule that is not in force.
  if (!error.isEmpty()) {
    WriteSchedule(FPatternFile, before);
    return error;
  }
  error = FManager.Reload();
  if (error.isEmpty()) error = FManager.StartUnit(FTimer);
  return error;
}

QString TScheduleDialog::Apply() {
  if (!FHasManager || FTimer.isEmpty()) return MessageLbl->text();
  const QString error = Tell(Chosen());
  MessageLbl->setText(error.isEmpty() ? QString() : tr("スケジュールを設定できません: %1").arg(error));
  Refresh();
  return error;
}

void TScheduleDialog::Refresh() {
  if (!FHasManager || FTimer.isEmpty()) return;
  const TUnitTimes times = FManager.TimerTimes(FTimer);
  NextRunLbl->setText(TimeText(times.NextRun));
  LastRunLbl->setText(TimeText(times.LastRun));
  if (!times.LastRun.isValid()) {
    LastResultLbl->setText(QStringLiteral("-"));
    return;
  }
  const TUnitResult result = FManager.ServiceResult(FService);
  LastResultLbl->setText(result.Result == QLatin1String("success")
                             ? tr("正常終了")
                             : tr("失敗 (%1, 終了コード %2)").arg(result.Result).arg(result.ExitStatus));
}

QString ScheduleStatusText(TUserManager& Manager, const std::string& PatternFile) {
  const QString timer = QString::fromStdString(TimerUnitName(PatternFile));
  if (timer.isEmpty() || !Manager.Available()) return {};
  const QDateTime next = Manager.TimerTimes(timer).NextRun;
  return next.isValid() ? QCoreApplication::translate("TScheduleDialog", "次回の実行: %1").arg(TimeText(next))
                        : QCoreApplication::translate("TScheduleDialog", "スケジュールなし");
}

TScheduleStatus::TScheduleStatus(std::unique_ptr<TUserManager> Manager, std::function<std::string()> PatternFile,
                                 QWidget* Parent)
    : QLabel(Parent), FManager(std::move(Manager)), FPatternFile(std::move(PatternFile)) {
  setObjectName(QStringLiteral("ScheduleStatus"));
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &TScheduleStatus::Refresh);
  timer->start(5000);
  QTimer::singleShot(0, this, &TScheduleStatus::Refresh);
}

TScheduleStatus::~TScheduleStatus() = default;

void TScheduleStatus::Refresh() {
  const QString text = ScheduleStatusText(*FManager, FPatternFile());
  setText(text);
  setVisible(!text.isEmpty());
}
