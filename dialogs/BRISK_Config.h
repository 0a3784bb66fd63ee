#pragma once
// The options dialog "オプション": the three settings of the execution log.
#include "app/EditorInterfaces.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class TRefFileEdit;
class TUpDownEdit;

class TConfigDialog : public QDialog, public TOptionsEditor {
  Q_OBJECT
public:
  explicit TConfigDialog(QWidget* Parent = nullptr);

  bool EditOptions(QWidget* Parent, TLogSettings& Settings) override;
  // The settings the next showing fills from and an OK writes to (EditOptions sets them).
  void SetSettings(TLogSettings* Settings) { FSettings = Settings; }

  QPushButton* OKButton;
  QPushButton* CancelButton;
  QCheckBox* SaveLogChk;
  QLabel* FilenameLbl;
  TRefFileEdit* FilenameEdt;
  QLabel* LinageLbl;
  TUpDownEdit* LinageEdt;

  void done(int Result) override;

protected:
  void showEvent(QShowEvent* Event) override;

private:
  TLogSettings* FSettings = nullptr;

  void ArrangeControls();
  void FormShow();
  void FormClose();
  void SaveLogChkClick();
  void FileEdtsChange();
  void UpdateOKButton();
};
