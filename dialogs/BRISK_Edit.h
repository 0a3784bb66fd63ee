#pragma once
// The item editor "アイテム設定": edits the six texts of one deletion item.
#include "dialogs/EditorInterfaces.h"

#include "dialogs/ModalForm.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TRefDirectoryEdit;
class TUpDownEdit;

class TEditDialog : public TModalForm, public TItemEditor {
  Q_OBJECT
public:
  explicit TEditDialog(QWidget* Parent = nullptr);

  bool EditItem(QWidget* Parent, TItemTexts& Texts) override;
  // The row the next showing fills from and an OK writes to (EditItem sets it).
  void SetItem(TItemTexts* Texts) { FTexts = Texts; }

  QLabel* LocationLbl;
  TRefDirectoryEdit* LocationEdt;
  QPushButton* BitbucketBtn;
  QLabel* IncludeLbl;
  QLineEdit* IncludeEdt;
  QLabel* ExcludeLbl;
  QLineEdit* ExcludeEdt;
  QLabel* LapsedDaysLbl;
  QComboBox* BaseDateCbx;
  TUpDownEdit* LapsedTimeEdt;
  QGroupBox* AttributeGroup;
  QCheckBox* ReadOnlyChk;
  QCheckBox* HiddenChk;
  QCheckBox* SysFileChk;
  QCheckBox* DirectoryChk;
  QCheckBox* ArchiveChk;
  QGroupBox* OptionGroup;
  QCheckBox* SubdirTooChk;
  QCheckBox* EmptydirOnlyChk;
  QCheckBox* DeadlnkNowChk;
  QCheckBox* IgnoreUninsChk;
  QCheckBox* ToBitbucketChk;

private:
  TItemTexts* FTexts = nullptr;

  void CreateControls();
  void ArrangeControls();
  void FormShow() override;
  void FormClose() override;
  void LocationEdtChange();
  void BitbucketBtnClick();
  void FileEdtsChange();
  // The OK rule, field by field: what keeps each field from being stored (empty: nothing).
  void UpdateOKButton();
  QString LocationEdtFault() const;
  QString IncludeEdtFault() const;
  QString StoredTextFaultOf(const QLineEdit* Edit) const;
  void FillLapsedDays(const QString& DaysText);
  void SetCheckBoxesEnabled(bool Enabled);
};
