#pragma once
// The options dialog "オプション": the three settings of the execution log.
#include "dialogs/EditorInterfaces.h"

#include "dialogs/ModalForm.h"

class QCheckBox;
class QLabel;
class TRefFileEdit;
class TUpDownEdit;

class TConfigDialog : public TModalForm, public TOptionsEditor {
  Q_OBJECT
public:
  explicit TConfigDialog(QWidget* Parent = nullptr);

  bool EditOptions(QWidget* Parent, TLogSettings& Settings) override;
  // The settings the next showing fills from and an OK writes to (EditOptions sets them).
  void SetSettings(TLogSettings* Settings) { FSettings = Settings; }

  QCheckBox* SaveLogChk;
  QLabel* FilenameLbl;
  TRefFileEdit* FilenameEdt;
  QLabel* LinageLbl;
  TUpDownEdit* LinageEdt;

private:
  TLogSettings* FSettings = nullptr;

  void ArrangeControls();
  void FormShow() override;
  void FormClose() override;
  void SaveLogChkClick();
  void FileEdtsChange();
  void LinageEdtChange();
  void UpdateOKButton();
};
