#include "app/Prompter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <sys/stat.h>
#include <unistd.h>

#include "controls/RefCtrls.h"

const char* const PatternFileFilter =
    QT_TRANSLATE_NOOP("TPrompter", "削除パターン(*.rmp)|*.rmp|すべてのファイル(*.*)|*.*");

namespace {

// The file dialog hands names to the file system through QFile::encodeName, so names
// go in and come out in that encoding, not in the window's byte-keeping one.
QString FileNameToQString(const std::string& Name) { return QFile::decodeName(QByteArray::fromStdString(Name)); }
std::string QStringToFileName(const QString& Name) { return QFile::encodeName(Name).toStdString(); }

QMessageBox::Icon IconOf(TMessageKind Kind) {
  switch (Kind) {
    case mkInformation: return QMessageBox::Information;
    case mkConfirmation: return QMessageBox::Question;
    case mkError: return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

// The two checks the platform's file dialogs make before they accept a name:
// a read-only file (or a new name in a write-protected folder) is refused, and
// opening a name that does not exist offers to create it.
class TPatternFileDialog : public QFileDialog {
public:
  TPatternFileDialog(QWidget* Parent, bool Save, const std::string& Initial) : QFileDialog(Parent) {
    setAcceptMode(Save ? AcceptSave : AcceptOpen);
    setFileMode(AnyFile);
    setNameFilters(FilterToNameFilters(QCoreApplication::translate("TPrompter", PatternFileFilter)));
    setDefaultSuffix(u"rmp"_qs);
    setOption(HideNameFilterDetails);
    setOption(DontUseNativeDialog);   // the checks below need our accept()
    setOption(DontConfirmOverwrite);  // asked below, in the words of every other box
    setWindowTitle(Save ? QCoreApplication::translate("TPrompter", "名前を付けて保存") : QCoreApplication::translate("TPrompter", "開く"));
    setLabelText(LookIn, QCoreApplication::translate("TPrompter", "ファイルの場所:"));
    setLabelText(FileName, QCoreApplication::translate("TPrompter", "ファイル名(&N):"));
    setLabelText(FileType, QCoreApplication::translate("TPrompter", "ファイルの種類(&T):"));
    // Qt's dialog gives this label no buddy, and a label without one shows its "&".
    if (auto* typeLabel = findChild<QLabel*>(u"fileTypeLabel"_qs))
      typeLabel->setBuddy(findChild<QComboBox*>(u"fileTypeCombo"_qs));
    setLabelText(Accept, Save ? QCoreApplication::translate("TPrompter", "保存(&S)") : QCoreApplication::translate("TPrompter", "開く(&O)"));
    setLabelText(Reject, QCoreApplication::translate("TPrompter", "キャンセル"));
    FSave = Save;
    if (!Initial.empty()) selectFile(FileNameToQString(Initial));
  }

  void accept() override {
    QStringList files = selectedFiles();
    if (files.size() == 1 && !Acceptable(files.front())) return;
    QFileDialog::accept();
  }

private:
  bool FSave = false;

  bool Acceptable(const QString& Name) {
    QFileInfo info(Name);
    if (info.isDir()) return true;  // QFileDialog enters the folder
    QByteArray bytes = QFile::encodeName(Name);
    struct stat status;
    if (stat(bytes.constData(), &status) == 0) {
      // Read-only as the file's attribute says: its owner may not write it.
      if (!(status.st_mode & S_IWUSR) || access(bytes.constData(), W_OK) != 0) {
        Warn(Name + QCoreApplication::translate("TPrompter", "\nこのファイルは読み取り専用です。\n別のファイル名を指定してください。"));
        return false;
      }
      return !FSave || Ask(Name + QCoreApplication::translate("TPrompter", " は既に存在します。\n上書きしますか？"));
    }
    QByteArray folder = QFile::encodeName(info.absolutePath());
    if (access(folder.constData(), W_OK) != 0) {
      Warn(Name + QCoreApplication::translate("TPrompter", "\nこのフォルダーは書き込み禁止です。\n別のフォルダーを指定してください。"));
      return false;
    }
    return FSave || Ask(Name + QCoreApplication::translate("TPrompter", "\nこのファイルは存在しません。\nファイルを作成しますか？"));
  }

  bool Ask(const QString& Text) {
    TQtPrompter prompter;
    return prompter.MessageBox(this, Text, windowTitle(), mkConfirmation, mbYesNo) == mrYes;
  }

  void Warn(const QString& Text) {
    TQtPrompter prompter;
    prompter.MessageBox(this, Text, windowTitle(), mkError, mbOK);
  }
};

std::optional<std::string> RunFileDialog(QWidget* Parent, bool Save, const std::string& Initial) {
  TPatternFileDialog dialog(Parent, Save, Initial);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QStringToFileName(dialog.selectedFiles().front());
}

}  // namespace

int TQtPrompter::MessageBox(QWidget* Parent, const QString& Text, const QString& Caption, TMessageKind Kind,
                            TMessageButtons Buttons) {
  return MessageBox(Parent, Text, QString(), Caption, Kind, Buttons);
}

int TQtPrompter::MessageBox(QWidget* Parent, const QString& Text, const QString& Details, const QString& Caption,
                            TMessageKind Kind, TMessageButtons Buttons) {
  QMessageBox box(IconOf(Kind), Caption, Text, QMessageBox::NoButton, Parent);
  if (!Details.isEmpty()) box.setInformativeText(Details);
  QPushButton* firstButton = nullptr;
  auto add = [&](QMessageBox::StandardButton Button, const QString& Label) {
    QPushButton* button = box.addButton(Button);
    button->setText(Label);
    if (!firstButton) firstButton = button;
  };
  if (Buttons == mbOK) {
    add(QMessageBox::Ok, u"OK"_qs);
  } else if (Buttons == mbSaveDiscardCancel) {
    // The Japanese answers the question as asked; the English names the action.
    add(QMessageBox::Yes, QCoreApplication::translate("TPrompter", "はい(&Y)", "save the changes"));
    add(QMessageBox::No, QCoreApplication::translate("TPrompter", "いいえ(&N)", "discard the changes"));
    add(QMessageBox::Cancel, QCoreApplication::translate("TPrompter", "キャンセル"));
  } else {
    add(QMessageBox::Yes, QCoreApplication::translate("TPrompter", "はい(&Y)"));
    add(QMessageBox::No, QCoreApplication::translate("TPrompter", "いいえ(&N)"));
    if (Buttons == mbYesNoCancel) add(QMessageBox::Cancel, QCoreApplication::translate("TPrompter", "キャンセル"));
  }
  box.setDefaultButton(firstButton);
  box.setEscapeButton(box.button(Buttons == mbYesNoCancel || Buttons == mbSaveDiscardCancel ? QMessageBox::Cancel
                                 : Buttons == mbYesNo     ? QMessageBox::No
                                                          : QMessageBox::Ok));
  box.exec();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return mrOK;
    case QMessageBox::Yes: return mrYes;
    case QMessageBox::No: return mrNo;
    default: return Buttons == mbYesNo ? mrNo : mrCancel;
  }
}

std::optional<std::string> TQtPrompter::OpenFileName(QWidget* Parent, const std::string& Initial) {
  return RunFileDialog(Parent, false, Initial);
}

std::optional<std::string> TQtPrompter::SaveFileName(QWidget* Parent, const std::string& Initial) {
  return RunFileDialog(Parent, true, Initial);
}
