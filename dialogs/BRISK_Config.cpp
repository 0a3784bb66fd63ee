#include "dialogs/BRISK_Config.h"

#include "controls/NumEdits.h"
#include "controls/QtText.h"
#include "controls/RefCtrls.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

TConfigDialog::TConfigDialog(QWidget* Parent) : TModalForm(Parent) {
  setObjectName(QStringLiteral("ConfigDialog"));
  setWindowTitle(tr("オプション"));

  SaveLogChk = new QCheckBox(tr("実行ログを保存する(&S)"), this);
  SaveLogChk->setObjectName(QStringLiteral("SaveLogChk"));

  FilenameEdt = new TRefFileEdit(this);
  FilenameEdt->setObjectName(QStringLiteral("FilenameEdt"));
  FilenameEdt->SetTextTip(true);
  TSelectFile& LogDialog = FilenameEdt->Dialog();
  LogDialog.Filter = tr("ログファイル(*.log)|*.log|すべてのファイル(*.*)|*.*");
  LogDialog.FilterIndex = 1;
  LogDialog.DefaultExt = QStringLiteral("log");
  LogDialog.Style = dsOpen;
  LogDialog.Options = TOpenOptions(ofHideReadOnly) | ofCreatePrompt | ofEnableSizing | ofDontAddToRecent;

  LinageEdt = new TUpDownEdit(this);
  LinageEdt->setObjectName(QStringLiteral("LinageEdt"));
  LinageEdt->UpDown()->SetMin(0);
  LinageEdt->UpDown()->SetMax(32767);

  FilenameLbl = new QLabel(tr("ファイル名(&N): "), this);
  FilenameLbl->setObjectName(QStringLiteral("FilenameLbl"));
  FilenameLbl->setBuddy(FilenameEdt);
  LinageLbl = new QLabel(tr("最大行数(&L): "), this);
  LinageLbl->setObjectName(QStringLiteral("LinageLbl"));
  LinageLbl->setBuddy(LinageEdt);

  ArrangeControls();
  // toggled, not clicked: a state set by the program runs the rule as well.
  connect(SaveLogChk, &QCheckBox::toggled, this, &TConfigDialog::SaveLogChkClick);
  connect(FilenameEdt, &TCustomRefEdit::Change, this, &TConfigDialog::FileEdtsChange);
  // The line count runs the rule too, typed or stepped, so that its mark follows it.
  connect(LinageEdt, &TUpDownEdit::Change, this, &TConfigDialog::LinageEdtChange);
  connect(LinageEdt, &TUpDownEdit::Count, this, &TConfigDialog::LinageEdtChange);
}

// The design at 96 dpi: the check box on top; below it, indented, the file name and
// the line count with their labels in one column; OK and Cancel at the bottom right.
void TConfigDialog::ArrangeControls() {
  // A log file's full path shows whole (or as near as the screen allows).
  FilenameEdt->setMinimumWidth(std::max(242, TypicalPathWidth(FilenameEdt)));
  LinageEdt->setFixedWidth(60);

  auto* Fields = new QGridLayout;
  Fields->setContentsMargins(16, 0, 0, 0);
  Fields->setHorizontalSpacing(0);
  Fields->setVerticalSpacing(8);
  Fields->addWidget(FilenameLbl, 0, 0);
  Fields->addItem(FilenameEdt->NewLayoutItem(), 0, 1);
  Fields->addWidget(LinageLbl, 1, 0);
  auto* Linage = new QHBoxLayout;
  Linage->addItem(LinageEdt->NewLayoutItem());
  Linage->addStretch(1);
  Fields->addLayout(Linage, 1, 1);
  Fields->setColumnStretch(1, 1);

  auto* Form = new QVBoxLayout(Body);
  Form->setContentsMargins(8, 8, 8, 0);
  Form->addWidget(SaveLogChk);
  Form->addLayout(Fields);
  Form->addStretch(1);

  setTabOrder(OKButton, CancelButton);
  setTabOrder(CancelButton, SaveLogChk);
  setTabOrder(SaveLogChk, FilenameEdt);
  setTabOrder(FilenameEdt, FilenameEdt->Button());
  setTabOrder(FilenameEdt->Button(), LinageEdt);
}

bool TConfigDialog::EditOptions(QWidget* Parent, TLogSettings& Settings) {
  FSettings = &Settings;
  const bool Confirmed = ExecOver(Parent);
  FSettings = nullptr;
  return Confirmed;
}

// The file dialog opens in the log file's folder with its name preset. The folder
// part ends at the last "/", the one separator of this system's paths.
void TConfigDialog::FormShow() {
  if (!FSettings) return;
  SaveLogChk->setChecked(FSettings->SaveLog);
  FilenameEdt->setText(BytesToText(FSettings->LogFile));
  FilenameEdt->setCursorPosition(0);  // a long path shows its beginning
  LinageEdt->SetValue(FSettings->LogLinage);
  const QString Name = FilenameEdt->text();
  FilenameEdt->Dialog().FileName = Name;
  FilenameEdt->Dialog().InitialDir = Name.left(Name.lastIndexOf(u'/') + 1);
}

void TConfigDialog::FormClose() {
  if (result() != QDialog::Accepted || !FSettings) return;
  FSettings->SaveLog = SaveLogChk->isChecked();
  FSettings->LogFile = TextToBytes(FilenameEdt->text());
  FSettings->LogLinage = LinageEdt->Value();
}

void TConfigDialog::SaveLogChkClick() { UpdateOKButton(); }

void TConfigDialog::FileEdtsChange() { UpdateOKButton(); }

void TConfigDialog::LinageEdtChange() { UpdateOKButton(); }

// Without saving, nothing here keeps OK disabled.
void TConfigDialog::UpdateOKButton() {
  const bool Saving = SaveLogChk->isChecked();
  QString NameFault;
  if (Saving && FilenameEdt->text().isEmpty()) NameFault = tr("ファイル名を指定してください。");
  ApplyFieldChecks({{FilenameEdt, NameFault}, {LinageEdt, Saving ? UpDownFault(LinageEdt) : QString()}});
}
