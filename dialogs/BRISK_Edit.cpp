#include "dialogs/BRISK_Edit.h"

#include "controls/NumEdits.h"
#include "controls/QtText.h"
#include "controls/RefCtrls.h"
#include "engine/DeletionItem.h"
#include "shell/ShellTypes.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <sys/stat.h>

#include <cerrno>

#include <algorithm>

namespace {

const char* const BaseDatePrefixes[] = {"C+", "M+", "A+", "D+"};
constexpr int AccessIndex = 2;
constexpr int DeletionIndex = 3;

QString TrashLocation() { return BytesToText(GetSpecialFolderName(CSIDL_BITBUCKET)); }

QCheckBox* NewCheckBox(const QString& Caption, const char* Name, QWidget* Parent) {
  auto* Box = new QCheckBox(Caption, Parent);
  Box->setObjectName(QString::fromLatin1(Name));
  return Box;
}

QLabel* NewLabel(const QString& Caption, const char* Name, QWidget* Buddy, QWidget* Parent) {
  auto* Label = new QLabel(Caption, Parent);
  Label->setObjectName(QString::fromLatin1(Name));
  Label->setBuddy(Buddy);
  return Label;
}

// Marks Edit with Warning (a warning icon at its end with the text as tool tip), or
// takes the mark away when Warning is empty. Unlike a fault, a warning leaves OK
// enabled and the field's colours alone.
void MarkWarning(QLineEdit* Edit, const QString& Warning) {
  auto* mark = Edit->findChild<QAction*>(u"FieldWarning"_qs, Qt::FindDirectChildrenOnly);
  if (Warning.isEmpty()) {
    delete mark;
    return;
  }
  if (!mark) {
    mark = Edit->addAction(Edit->style()->standardIcon(QStyle::SP_MessageBoxWarning), QLineEdit::TrailingPosition);
    mark->setObjectName(u"FieldWarning"_qs);
  }
  mark->setToolTip(Warning);
}

}  // namespace

TEditDialog::TEditDialog(QWidget* Parent) : TModalForm(Parent) {
  setObjectName(QStringLiteral("EditDialog"));
  CreateControls();
  ArrangeControls();
  connect(LocationEdt, &TCustomRefEdit::Change, this, &TEditDialog::LocationEdtChange);
  connect(BitbucketBtn, &QPushButton::clicked, this, &TEditDialog::BitbucketBtnClick);
  connect(IncludeEdt, &QLineEdit::textChanged, this, &TEditDialog::FileEdtsChange);
  connect(ExcludeEdt, &QLineEdit::textChanged, this, &TEditDialog::FileEdtsChange);
  connect(LapsedTimeEdt, &TUpDownEdit::Change, this, &TEditDialog::FileEdtsChange);
  // The arrows change the count without a change event; the mark must follow them too.
  connect(LapsedTimeEdt, &TUpDownEdit::Count, this, &TEditDialog::FileEdtsChange);
}

void TEditDialog::CreateControls() {
  LocationEdt = new TRefDirectoryEdit(this);
  LocationEdt->setObjectName(QStringLiteral("LocationEdt"));
  LocationEdt->SetTextTip(true);
  BitbucketBtn = new QPushButton(tr("ゴミ箱"), this);
  BitbucketBtn->setObjectName(QStringLiteral("BitbucketBtn"));
  IncludeEdt = new QLineEdit(this);
  IncludeEdt->setObjectName(QStringLiteral("IncludeEdt"));
  ExcludeEdt = new QLineEdit(this);
  ExcludeEdt->setObjectName(QStringLiteral("ExcludeEdt"));
  BaseDateCbx = new QComboBox(this);
  BaseDateCbx->setObjectName(QStringLiteral("BaseDateCbx"));
  BaseDateCbx->addItems({tr("作成日時"), tr("更新日時"), tr("アクセス日時")});
  BaseDateCbx->setCurrentIndex(AccessIndex);
  LapsedTimeEdt = new TUpDownEdit(this);
  LapsedTimeEdt->setObjectName(QStringLiteral("LapsedTimeEdt"));
  LapsedTimeEdt->UpDown()->SetMin(0);
  LapsedTimeEdt->UpDown()->SetMax(32767);
  LapsedTimeEdt->SetValue(7);

  LocationLbl = NewLabel(tr("対象フォルダ(&L): "), "LocationLbl", LocationEdt, this);
  IncludeLbl = NewLabel(tr("削除ファイル(&I): "), "IncludeLbl", IncludeEdt, this);
  ExcludeLbl = NewLabel(tr("除外ファイル(&E): "), "ExcludeLbl", ExcludeEdt, this);
  LapsedDaysLbl = NewLabel(tr("経過日数(&D): "), "LapsedDaysLbl", BaseDateCbx, this);

  AttributeGroup = new QGroupBox(tr("属性(&A)"), this);
  AttributeGroup->setObjectName(QStringLiteral("AttributeGroup"));
  ReadOnlyChk = NewCheckBox(tr("読み出し専用"), "ReadOnlyChk", AttributeGroup);
  HiddenChk = NewCheckBox(tr("非表示ファイル"), "HiddenChk", AttributeGroup);
  SysFileChk = NewCheckBox(tr("システムファイル"), "SysFileChk", AttributeGroup);
  DirectoryChk = NewCheckBox(tr("ディレクトリ"), "DirectoryChk", AttributeGroup);
  ArchiveChk = NewCheckBox(tr("アーカイブ"), "ArchiveChk", AttributeGroup);

  OptionGroup = new QGroupBox(tr("オプション(&O)"), this);
  OptionGroup->setObjectName(QStringLiteral("OptionGroup"));
  SubdirTooChk = NewCheckBox(tr("サブディレクトリ内のファイルも削除"), "SubdirTooChk", OptionGroup);
  EmptydirOnlyChk = NewCheckBox(tr("空のディレクトリのみ削除"), "EmptydirOnlyChk", OptionGroup);
  DeadlnkNowChk = NewCheckBox(tr("リンクの切れたショートカットは即時削除"), "DeadlnkNowChk", OptionGroup);
  IgnoreUninsChk = NewCheckBox(tr("未挿入のリムーバブルドライブは除く"), "IgnoreUninsChk", OptionGroup);
  ToBitbucketChk = NewCheckBox(tr("ごみ箱に入れる"), "ToBitbucketChk", OptionGroup);
}

// The arrangement of the design at 96 dpi: labels in the first column; the edits in
// the second, all ending at the same right edge; the browse button and "ゴミ箱" right
// of the folder edit. The browse button and the up-down are siblings that their edits
// place themselves: the third column keeps room for the browse button, and the
// up-down of the day count hangs into that column's free space below it, as designed.
void TEditDialog::ArrangeControls() {
  constexpr int EditWidth = 165;
  // A typical folder shows whole (or as near as the screen allows).
  LocationEdt->setMinimumWidth(std::max(EditWidth, TypicalPathWidth(LocationEdt)));
  IncludeEdt->setMinimumWidth(EditWidth);
  ExcludeEdt->setMinimumWidth(EditWidth);
  LapsedTimeEdt->setFixedWidth(60);

  auto* Fields = new QGridLayout;
  Fields->setHorizontalSpacing(0);
  Fields->setVerticalSpacing(8);
  Fields->addWidget(LocationLbl, 0, 0);
  Fields->addWidget(LocationEdt, 0, 1);
  auto* Buttons = new QHBoxLayout;
  Buttons->setSpacing(4);
  Buttons->addSpacing(LocationEdt->Margin() + LocationEdt->sizeHint().height());
  Buttons->addWidget(BitbucketBtn);
  Fields->addLayout(Buttons, 0, 2);
  Fields->addWidget(IncludeLbl, 1, 0);
  Fields->addWidget(IncludeEdt, 1, 1);
  Fields->addWidget(ExcludeLbl, 2, 0);
  Fields->addWidget(ExcludeEdt, 2, 1);
  Fields->addWidget(LapsedDaysLbl, 3, 0);
  auto* Days = new QHBoxLayout;
  Days->setSpacing(4);
  Days->addWidget(BaseDateCbx, 1);
  Days->addWidget(LapsedTimeEdt);
  Fields->addLayout(Days, 3, 1);
  Fields->setColumnStretch(1, 1);

  auto* Attributes = new QGridLayout(AttributeGroup);
  Attributes->addWidget(ReadOnlyChk, 0, 0);
  Attributes->addWidget(HiddenChk, 0, 1);
  Attributes->addWidget(SysFileChk, 0, 2);
  Attributes->addWidget(DirectoryChk, 1, 0);
  Attributes->addWidget(ArchiveChk, 1, 1);

  auto* Options = new QVBoxLayout(OptionGroup);
  Options->addWidget(SubdirTooChk);
  Options->addWidget(EmptydirOnlyChk);
  Options->addWidget(DeadlnkNowChk);
  auto* Indented = new QHBoxLayout;
  Indented->addSpacing(16);
  Indented->addWidget(IgnoreUninsChk);
  Options->addLayout(Indented);
  Options->addWidget(ToBitbucketChk);

  auto* Form = new QVBoxLayout(Body);
  Form->setContentsMargins(8, 8, 8, 0);
  Form->addLayout(Fields);
  Form->addWidget(AttributeGroup);
  Form->addWidget(OptionGroup);
  Form->addStretch(1);

  setTabOrder(OKButton, CancelButton);
  setTabOrder(CancelButton, LocationEdt);
  setTabOrder(LocationEdt, LocationEdt->Button());
  setTabOrder(LocationEdt->Button(), BitbucketBtn);
  setTabOrder(BitbucketBtn, IncludeEdt);
  setTabOrder(IncludeEdt, ExcludeEdt);
  setTabOrder(ExcludeEdt, BaseDateCbx);
  setTabOrder(BaseDateCbx, LapsedTimeEdt);
  QWidget* Previous = LapsedTimeEdt;
  for (QWidget* Box : {ReadOnlyChk, HiddenChk, SysFileChk, DirectoryChk, ArchiveChk, SubdirTooChk, EmptydirOnlyChk,
                       DeadlnkNowChk, IgnoreUninsChk, ToBitbucketChk}) {
    setTabOrder(Previous, Box);
    Previous = Box;
  }
}

bool TEditDialog::EditItem(QWidget* Parent, TItemTexts& Texts) {
  FTexts = &Texts;
  const bool Confirmed = ExecOver(Parent);
  FTexts = nullptr;
  return Confirmed;
}

void TEditDialog::FormShow() {
  if (!FTexts) return;
  const TItemTexts& Texts = *FTexts;
  // Its title names the command that opened it: Add hands over a row of empty texts.
  const bool NewItem = std::all_of(Texts.begin(), Texts.end(), [](const std::string& Text) { return Text.empty(); });
  setWindowTitle(NewItem ? tr("アイテム設定", "title when adding an item") : tr("アイテム設定", "title when editing an item"));
  LocationEdt->setText(BytesToText(Texts[itLocation]));
  LocationEdt->setCursorPosition(0);  // a long path shows its beginning
  IncludeEdt->setText(BytesToText(Texts[itMask]));
  ExcludeEdt->setText(BytesToText(Texts[itExcept]));
  FillLapsedDays(BytesToText(Texts[itLapsedDays]));

  const QString Attributes = BytesToText(Texts[itAttribute]);
  ReadOnlyChk->setChecked(Attributes.contains(u'R'));
  HiddenChk->setChecked(Attributes.contains(u'H'));
  SysFileChk->setChecked(Attributes.contains(u'S'));
  DirectoryChk->setChecked(Attributes.contains(u'D'));
  ArchiveChk->setChecked(Attributes.contains(u'A'));
  const QString Options = BytesToText(Texts[itOption]);
  SubdirTooChk->setChecked(Options.contains(u'T'));
  EmptydirOnlyChk->setChecked(Options.contains(u'O'));
  DeadlnkNowChk->setChecked(Options.contains(u'I'));
  IgnoreUninsChk->setChecked(Options.contains(u'U'));
  ToBitbucketChk->setChecked(Options.contains(u'B'));
  UpdateOKButton();
}

// A days text is a base-date letter, one more character and the day count. A count
// that is no number (a hand-edited pattern file) is shown as it stands: the OK rule
// keeps OK disabled until it is corrected, and the rest of the row is filled anyway.
void TEditDialog::FillLapsedDays(const QString& DaysText) {
  if (DaysText.isEmpty()) {
    BaseDateCbx->setCurrentIndex(AccessIndex);
    LapsedTimeEdt->SetValue(7);
    return;
  }
  switch (DaysText[0].unicode()) {
    case u'A': BaseDateCbx->setCurrentIndex(AccessIndex); break;
    case u'C': BaseDateCbx->setCurrentIndex(0); break;
    case u'D': BaseDateCbx->setCurrentIndex(DeletionIndex); break;  // none when the list has three entries
    case u'M': BaseDateCbx->setCurrentIndex(1); break;
    default: break;
  }
  const QString Count = DaysText.mid(2);
  int Days = 0;
  if (TextToInt32(Count, Days))
    LapsedTimeEdt->SetValue(Days);
  else
    LapsedTimeEdt->setText(Count);
}

void TEditDialog::FormClose() {
  if (result() != QDialog::Accepted || !FTexts) return;
  TItemTexts& Texts = *FTexts;
  Texts[itLocation] = TextToBytes(LocationEdt->text());
  Texts[itMask] = TextToBytes(IncludeEdt->text());
  Texts[itExcept] = TextToBytes(ExcludeEdt->text());
  const int Index = BaseDateCbx->currentIndex();
  const std::string Prefix = Index >= 0 && Index <= DeletionIndex ? BaseDatePrefixes[Index] : "";
  Texts[itLapsedDays] = Prefix + std::to_string(LapsedTimeEdt->Value());

  std::string Attributes;
  if (ReadOnlyChk->isChecked()) Attributes += 'R';
  if (HiddenChk->isChecked()) Attributes += 'H';
  if (SysFileChk->isChecked()) Attributes += 'S';
  if (DirectoryChk->isChecked()) Attributes += 'D';
  if (ArchiveChk->isChecked()) Attributes += 'A';
  Texts[itAttribute] = Attributes;

  std::string Options;
  if (SubdirTooChk->isChecked()) Options += 'T';
  if (EmptydirOnlyChk->isChecked() && DirectoryChk->isChecked()) Options += 'O';
  if (DeadlnkNowChk->isChecked()) Options += 'I';
  if (IgnoreUninsChk->isChecked() && DeadlnkNowChk->isChecked()) Options += 'U';
  if (ToBitbucketChk->isChecked()) Options += 'B';
  Texts[itOption] = Options;
}

void TEditDialog::SetCheckBoxesEnabled(bool Enabled) {
  for (QCheckBox* Box : {ReadOnlyChk, HiddenChk, SysFileChk, DirectoryChk, ArchiveChk, SubdirTooChk, EmptydirOnlyChk,
                         DeadlnkNowChk, IgnoreUninsChk, ToBitbucketChk})
    Box->setEnabled(Enabled);
}

void TEditDialog::LocationEdtChange() {
  if (LocationEdt->text() == TrashLocation()) {
    if (BaseDateCbx->count() == 3) BaseDateCbx->addItem(tr("削除日時"));
    BaseDateCbx->setCurrentIndex(DeletionIndex);
    BaseDateCbx->setEnabled(false);
    SetCheckBoxesEnabled(false);
  } else {
    if (BaseDateCbx->count() == 4) BaseDateCbx->removeItem(DeletionIndex);
    BaseDateCbx->setCurrentIndex(AccessIndex);
    BaseDateCbx->setEnabled(true);
    SetCheckBoxesEnabled(true);
  }
  UpdateOKButton();
}

void TEditDialog::BitbucketBtnClick() { LocationEdt->setText(TrashLocation()); }

void TEditDialog::FileEdtsChange() { UpdateOKButton(); }

// A text that the pattern file would not give back as it stands: a Test here would
// use another text than the scheduled run that reads the file.
QString TEditDialog::StoredTextFaultOf(const QLineEdit* Edit) const {
  switch (StoredTextFault(TextToBytes(Edit->text()))) {
    case sfNul: return tr("NUL 文字は使えません。");
    case sfLineBreak: return tr("改行は使えません。");
    case sfBlankEnds: return tr("前後の空白は保存されません。前後に空白を置かないでください。");
    case sfQuoted: return tr("前後を囲む引用符は保存されません。引用符で囲まないでください。");
    case sfTooLong: return tr("長すぎます。%1 文字以内で指定してください。").arg(MaxStoredTextUnits);
    case sfNone: break;
  }
  return {};
}

// The folder texts a run would refuse are refused here already, with the reason.
QString TEditDialog::LocationEdtFault() const {
  if (LocationEdt->text().isEmpty()) return tr("対象フォルダを指定してください。");
  if (QString fault = StoredTextFaultOf(LocationEdt); !fault.isEmpty()) return fault;
  switch (LocationFault(TextToBytes(LocationEdt->text()))) {
    case lfRelative: return tr("対象フォルダは / で始まる絶対パスで指定してください。");
    case lfWindowsPath: return tr("Windows のパスは使えません。/ で始まる絶対パスで指定してください。");
    case lfRoot: return tr("ルートフォルダは対象フォルダにできません。");
    case lfNone: break;
  }
  return {};
}

QString TEditDialog::IncludeEdtFault() const {
  if (IncludeEdt->text().isEmpty()) return tr("削除ファイルを指定してください。");
  return StoredTextFaultOf(IncludeEdt);
}

void TEditDialog::UpdateOKButton() {
  const QString locationFault = LocationEdtFault();
  ApplyFieldChecks({{LocationEdt, locationFault}, {IncludeEdt, IncludeEdtFault()},
                    {ExcludeEdt, StoredTextFaultOf(ExcludeEdt)}, {LapsedTimeEdt, UpDownFault(LapsedTimeEdt)}});
  // A folder that does not exist now may appear later (a disk plugged in, a folder
  // another program makes): said, but no reason to keep OK disabled.
  QString warning;
  const std::string location = TextToBytes(LocationEdt->text());
  struct stat st;
  if (locationFault.isEmpty() && location != GetSpecialFolderName(CSIDL_BITBUCKET) && stat(location.c_str(), &st) != 0 &&
      errno == ENOENT)
    warning = tr("このフォルダは現在存在しません。");
  if (locationFault.isEmpty()) MarkWarning(LocationEdt, warning);
}
