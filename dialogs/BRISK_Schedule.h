#pragma once
// The schedule dialog "スケジュール": when the installed timer runs the saved pattern,
// and how its last run went. It writes the timer's and the service's drop-ins and has
// the user's service manager reload, enable and start the timer (or stop and disable
// it, for "off"). Without a manager it offers the crontab line that does the same.
#include <QDialog>
#include <QLabel>
#include <functional>
#include <memory>
#include <string>

#include "app/Schedule.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimeEdit;
class QTimer;
class TUserManager;

class TScheduleDialog : public QDialog {
  Q_OBJECT
public:
  // PatternFile is saved and absolute; Program is what the crontab line runs.
  TScheduleDialog(TUserManager& Manager, const std::string& PatternFile, const std::string& Program,
                  QWidget* Parent = nullptr);

  // What the controls say now.
  TSchedule Chosen() const;
  // Writes the drop-ins and tells the manager; an empty text, or what went wrong
  // (also shown in the dialog).
  QString Apply();
  // Reads the timer's times and the service's result again (a timer does it while shown).
  void Refresh();

  QComboBox* KindCbx;
  QComboBox* WeekDayCbx;
  QSpinBox* MonthDaySpn;
  QTimeEdit* TimeEdt;
  QCheckBox* CatchUpChk;
  QCheckBox* MainsOnlyChk;
  QCheckBox* NotifyChk;
  QLabel* NextRunLbl;
  QLabel* LastRunLbl;
  QLabel* LastResultLbl;
  QLabel* MessageLbl;     // no manager, or the error of the last Apply
  QLineEdit* CrontabEdt;  // shown only without a manager
  QPushButton* CopyBtn;
  QDialogButtonBox* Buttons;

private:
  TUserManager& FManager;
  const std::string FPatternFile;
  const std::string FProgram;
  const QString FTimer, FService;
  const bool FHasManager;
  QTimer* FRefreshTimer;

  void ArrangeControls();
  void ShowSchedule(const TSchedule& Schedule);
  void UpdateFields();
  QString Tell(const TSchedule& Schedule);
};

// The status bar's words for a pattern's timer: "" without a manager or a timer.
QString ScheduleStatusText(TUserManager& Manager, const std::string& PatternFile);

// The status bar's panel: whether the open pattern is scheduled and when it runs
// next. It asks the manager again every few seconds, and at once after Refresh.
class TScheduleStatus : public QLabel {
  Q_OBJECT
public:
  TScheduleStatus(std::unique_ptr<TUserManager> Manager, std::function<std::string()> PatternFile,
                  QWidget* Parent = nullptr);
  ~TScheduleStatus() override;
  void Refresh();
  TUserManager& Manager() { return *FManager; }

private:
  std::unique_ptr<TUserManager> FManager;
  std::function<std::string()> FPatternFile;
};
