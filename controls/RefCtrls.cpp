#include "controls/RefCtrls.h"

#include "controls/FieldFault.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMessageBox>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolTip>
#include <QUrl>

// ---------------------------------------------------------------------------
// TEllipsisButton

TEllipsisButton::TEllipsisButton(QWidget* Parent) : QPushButton(QStringLiteral("..."), Parent) {
  setObjectName(QStringLiteral("Button"));
  // A square button the height of an edit is narrower than a push button's usual minimum.
  setMinimumSize(1, 1);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

// ---------------------------------------------------------------------------
// TCustomRefEdit

TCustomRefEdit::TCustomRefEdit(QWidget* Parent)
    : QLineEdit(Parent), FSide(this, [this](const QRect& Edit) {
        return QRect(Edit.x() + Edit.width() + FMargin, Edit.y(), Edit.height(), Edit.height());
      }) {
  FButton = new TEllipsisButton(Parent);
  FSide.SetSide(FButton);
  connect(FButton, &QPushButton::clicked, this, &TCustomRefEdit::ButtonClick);
  connect(this, &QLineEdit::textChanged, this, &TCustomRefEdit::Change);
  if (Parent) FSide.Adopt();
}

TCustomRefEdit::~TCustomRefEdit() { delete FButton.data(); }

void TCustomRefEdit::SetMargin(int Value) {
  if (Value == FMargin) return;
  FMargin = Value;
  FSide.Place();
}

QLayoutItem* TCustomRefEdit::NewLayoutItem() {
  return new TSideItem(this, [this](int EditHeight) { return FButton ? FMargin + EditHeight : 0; });
}

bool TCustomRefEdit::event(QEvent* Event) {
  if (Event->type() == QEvent::ParentChange) FSide.Adopt();
  if (Event->type() == QEvent::ToolTip && FTextTip) {
    const QString Tip = TextTipText();
    if (Tip.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(static_cast<QHelpEvent*>(Event)->globalPos(), Tip, this);
    return true;
  }
  const bool Handled = QLineEdit::event(Event);
  FSide.Follow(Event);
  return Handled;
}

void TCustomRefEdit::setVisible(bool Visible) {
  QLineEdit::setVisible(Visible);
  FSide.SetVisible(Visible);
}

// The line edit draws its text inside the frame's contents, less the text margins, a
// fixed 2-pixel margin on each side and one pixel for the cursor after the last
// character; a text no wider than that is shown whole.
int TCustomRefEdit::TextSpace() const {
  QStyleOptionFrame Option;
  initStyleOption(&Option);
  QRect Contents = style()->subElementRect(QStyle::SE_LineEditContents, &Option, this);
  Contents = Contents.marginsRemoved(textMargins());
  constexpr int HorizontalMargin = 2;
  return Contents.width() - 2 * HorizontalMargin - 1;
}

// A marked field says first what is wrong, then shows its whole text: the mark's icon
// takes part of the text's room.
QString TCustomRefEdit::TextTipText() const {
  if (const QString Fault = FieldFault(this); !Fault.isEmpty())
    return text().isEmpty() ? Fault : Fault + u'\n' + text();
  return fontMetrics().horizontalAdvance(text()) > TextSpace() ? text() : QString();
}

// ---------------------------------------------------------------------------
// TSelectFile

QStringList FilterToNameFilters(const QString& Filter) {
  QStringList Result;
  const QStringList Parts = Filter.split(u'|');
  for (qsizetype At = 0; At + 1 < Parts.size(); At += 2) {
    QStringList Patterns = Parts[At + 1].split(u';', Qt::SkipEmptyParts);
    for (QString& Pattern : Patterns) {
      Pattern = Pattern.trimmed();
      // "*.*" means every file on the system these filters were written for; here it
      // would take only names with a dot.
      if (Pattern == QLatin1String("*.*")) Pattern = QStringLiteral("*");
    }
    Result << Parts[At] + QStringLiteral(" (") + Patterns.join(u' ') + u')';
  }
  return Result;
}

void TSelectFile::Assign(const TSelectFile& Source) {
  FileName = Source.FileName;
  FFiles = Source.FFiles;
  Filter = Source.Filter;
  FilterIndex = Source.FilterIndex;
  DefaultExt = Source.DefaultExt;
  Title = Source.Title;
  InitialDir = Source.InitialDir;
  Options = Source.Options;
  Style = Source.Style;
}

void TSelectFile::Prepare(QFileDialog& Dialog) const {
  Dialog.setAcceptMode(Style == dsSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (Style == dsSave)
    Dialog.setFileMode(QFileDialog::AnyFile);
  else if (Options & ofAllowMultiSelect)
    Dialog.setFileMode(QFileDialog::ExistingFiles);
  else if ((Options & ofFileMustExist) && !(Options & ofCreatePrompt))
    Dialog.setFileMode(QFileDialog::ExistingFile);
  else
    Dialog.setFileMode(QFileDialog::AnyFile);
  Dialog.setOption(QFileDialog::DontConfirmOverwrite, !(Options & ofOverwritePrompt));
  Dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  Dialog.setSizeGripEnabled(Options.testFlag(ofEnableSizing));
  if (!Title.isEmpty()) Dialog.setWindowTitle(Title);
  const QStringList NameFilters = FilterToNameFilters(Filter);
  if (!NameFilters.isEmpty()) {
    Dialog.setNameFilters(NameFilters);
    if (FilterIndex >= 1 && FilterIndex <= NameFilters.size()) Dialog.selectNameFilter(NameFilters[FilterIndex - 1]);
  }
  Dialog.setDefaultSuffix(DefaultExt);
  if (!InitialDir.isEmpty()) Dialog.setDirectory(InitialDir);
  if (!FileName.isEmpty()) Dialog.selectFile(FileName);
}

// The checks the platform's own dialog makes before it closes: a missing file may be
// created only after a question, a read-only one is refused.
static bool ConfirmChosen(QWidget* Parent, const QStringList& Chosen, TOpenOptions Options) {
  for (const QString& Name : Chosen) {
    const QFileInfo Info(Name);
    if ((Options & ofNoReadOnlyReturn) && Info.exists() && !Info.isWritable()) {
      QMessageBox::warning(Parent, QString(), Name + QCoreApplication::translate("TSelectFile", "\nこのファイルは読み取り専用です。別の名前を指定してください。"));
      return false;
    }
    if ((Options & ofCreatePrompt) && !Info.exists() &&
        QMessageBox::question(Parent, QString(), Name + QCoreApplication::translate("TSelectFile", "\nこのファイルは存在しません。\nファイルを作成しますか?")) !=
            QMessageBox::Yes)
      return false;
  }
  return true;
}

bool TSelectFile::Execute() {
  QFileDialog Dialog(FOwner);
  Prepare(Dialog);
  QStringList Chosen;
  bool Confirmed = false;
  if (Runner) {
    Confirmed = Runner(Dialog, Chosen);
  } else {
    while (!Confirmed && Dialog.exec() == QDialog::Accepted) {
      Chosen = Dialog.selectedFiles();
      Confirmed = ConfirmChosen(&Dialog, Chosen, Options);
    }
  }
  if (!Confirmed || Chosen.isEmpty()) return false;
  FileName = Chosen.first();
  FFiles = Chosen;
  return true;
}

// ---------------------------------------------------------------------------
// TSelectDirectory

void TSelectDirectory::Assign(const TSelectDirectory& Source) {
  Caption = Source.Caption;
  Root = Source.Root;
  Directory = Source.Directory;
  Options = Source.Options;
}

static bool IsUnder(const QString& Path, const QString& Root) {
  const QString Clean = QDir::cleanPath(QDir(Path).absolutePath());
  const QString Top = QDir::cleanPath(QDir(Root).absolutePath());
  return Clean == Top || Clean.startsWith(Top.endsWith(u'/') ? Top : Top + u'/');
}

void TSelectDirectory::Prepare(QFileDialog& Dialog) const {
  Dialog.setAcceptMode(QFileDialog::AcceptOpen);
  Dialog.setFileMode(QFileDialog::Directory);
  Dialog.setOption(QFileDialog::ShowDirsOnly, !(Options & sdShowFiles));
  // Without a new-folder button the chooser only chooses: the read-only dialog offers
  // neither new folders nor renames and deletes.
  Dialog.setOption(QFileDialog::ReadOnly, !(Options & sdNewFolder));
  Dialog.setSizeGripEnabled(Options.testFlag(sdNewUI));
  if (!Caption.isEmpty()) {
    // The instruction: the title of a desktop's own chooser, the text above the
    // folder list of Qt's.
    Dialog.setWindowTitle(Caption);
    Dialog.setLabelText(QFileDialog::LookIn, Caption);
  }
  if (!Root.isEmpty()) {
    // Keeping the user inside the root needs the dialog's own widgets.
    Dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    Dialog.setSidebarUrls({QUrl::fromLocalFile(Root)});
    const QString Top = Root;
    QObject::connect(&Dialog, &QFileDialog::directoryEntered, &Dialog, [&Dialog, Top](const QString& Entered) {
      if (!IsUnder(Entered, Top)) Dialog.setDirectory(Top);
    });
  }
  const bool Preselect = !Directory.isEmpty() && QFileInfo(Directory).isDir() &&
                         (Root.isEmpty() || IsUnder(Directory, Root));
  if (Preselect)
    Dialog.setDirectory(Directory);
  else
    Dialog.setDirectory(Root.isEmpty() ? QDir::homePath() : Root);
}

bool TSelectDirectory::Execute() {
  QFileDialog Dialog(FOwner);
  Prepare(Dialog);
  QString Chosen;
  bool Confirmed = false;
  if (Runner) {
    Confirmed = Runner(Dialog, Chosen);
  } else if (Dialog.exec() == QDialog::Accepted && !Dialog.selectedFiles().isEmpty()) {
    Chosen = Dialog.selectedFiles().first();
    Confirmed = true;
  }
  if (!Confirmed || Chosen.isEmpty()) return false;
  Directory = QDir::toNativeSeparators(Chosen);
  return true;
}

// ---------------------------------------------------------------------------
// TRefFileEdit, TRefDirectoryEdit

TRefFileEdit::TRefFileEdit(QWidget* Parent) : TCustomRefEdit(Parent), FDialog(this) {}

void TRefFileEdit::ButtonClick() {
  if (FDialog.Execute()) setText(FDialog.FileName);
}

TRefDirectoryEdit::TRefDirectoryEdit(QWidget* Parent) : TCustomRefEdit(Parent), FDialog(this) {}

void TRefDirectoryEdit::ButtonClick() {
  if (FDialog.Execute()) setText(FDialog.Directory);
}
