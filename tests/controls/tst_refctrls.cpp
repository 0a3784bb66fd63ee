#include "controls/RefCtrls.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

class TRefCtrlsTest : public QObject {
  Q_OBJECT

private slots:
  void ButtonPlacement();
  void ButtonFollowsEditState();
  void ButtonDestroyedFirst();
  void LayoutKeepsRoomForButton();
  void TextTipAtExactWidth();
  void NameFilters();
  void FileDialogSettings();
  void FileChooserCancelAndConfirm();
  void DirectoryChooser();
};

void TRefCtrlsTest::ButtonPlacement() {
  QWidget Form;
  Form.resize(400, 100);
  TRefFileEdit Edit(&Form);
  Edit.setGeometry(92, 33, 242, 21);
  Form.show();
  TEllipsisButton* Button = Edit.Button();
  QVERIFY(Button);
  QCOMPARE(Button->parentWidget(), &Form);
  QCOMPARE(Button->text(), QString("..."));
  QCOMPARE(Button->geometry(), QRect(338, 33, 21, 21));
  Edit.SetMargin(4);
  QCOMPARE(Button->geometry(), QRect(338, 33, 21, 21));
  Edit.SetMargin(0);
  QCOMPARE(Button->x(), Edit.geometry().right() + 1);
  Edit.move(10, 5);
  QCOMPARE(Button->geometry(), QRect(252, 5, 21, 21));
}

void TRefCtrlsTest::ButtonFollowsEditState() {
  QWidget Form;
  TRefDirectoryEdit Edit(&Form);
  Form.show();
  TEllipsisButton* Button = Edit.Button();
  QVERIFY(Button->isVisible());
  Edit.setEnabled(false);
  QVERIFY(!Button->isEnabled());
  Edit.setEnabled(true);
  QVERIFY(Button->isEnabled());
  Edit.hide();
  QVERIFY(Button->isHidden());
  Edit.show();
  QVERIFY(Button->isVisible());
  Edit.setLayoutDirection(Qt::RightToLeft);
  QCOMPARE(Button->layoutDirection(), Qt::RightToLeft);

  // An edit made without a parent takes its button along when it gets one.
  auto* Late = new TRefFileEdit;
  Late->setParent(&Form);
  QCOMPARE(Late->Button()->parentWidget(), &Form);

  // Clicking the button runs the chooser.
  int Runs = 0;
  Edit.Dialog().Runner = [&Runs](QFileDialog&, QString&) { return ++Runs, false; };
  QTest::mouseClick(Button, Qt::LeftButton);
  QCOMPARE(Runs, 1);
}

void TRefCtrlsTest::ButtonDestroyedFirst() {
  QWidget Form;
  TRefFileEdit Edit(&Form);
  delete Edit.Button();
  QVERIFY(!Edit.Button());
  Edit.SetMargin(9);
  Edit.setGeometry(1, 2, 50, 20);
  Edit.setEnabled(false);
  Edit.hide();
  QCOMPARE(Edit.Margin(), 9);
}

void TRefCtrlsTest::LayoutKeepsRoomForButton() {
  QWidget Form;
  auto* Row = new QHBoxLayout(&Form);
  auto* Edit = new TRefFileEdit(&Form);
  auto* Next = new QWidget(&Form);
  Next->setFixedSize(40, 10);
  Row->addItem(Edit->NewLayoutItem());
  Row->addWidget(Next);
  Form.resize(300, 60);
  Form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&Form));
  const QRect Button = Edit->Button()->geometry();
  QCOMPARE(Button.left(), Edit->geometry().right() + 1 + Edit->Margin());
  QCOMPARE(Button.width(), Edit->height());
  QVERIFY(Button.right() < Next->geometry().left());
}

void TRefCtrlsTest::TextTipAtExactWidth() {
  QWidget Form;
  TRefFileEdit Edit(&Form);
  Edit.SetTextTip(true);
  Edit.setText("/home/user/some/rather/long/folder/name.log");
  Edit.resize(100, 21);
  const int TextWidth = Edit.fontMetrics().horizontalAdvance(Edit.text());
  Edit.resize(Edit.width() + TextWidth - Edit.TextSpace(), 21);
  QCOMPARE(Edit.TextSpace(), TextWidth);
  QCOMPARE(Edit.TextTipText(), QString());
  Edit.resize(Edit.width() - 1, 21);
  QCOMPARE(Edit.TextTipText(), Edit.text());

  // The tool-tip request shows the whole text; with the text fitting, nothing (not
  // even the edit's own tool tip).
  Form.show();
  Edit.setToolTip("own tip");
  QHelpEvent Request(QEvent::ToolTip, QPoint(3, 3), Edit.mapToGlobal(QPoint(3, 3)));
  QVERIFY(QApplication::sendEvent(&Edit, &Request));
  QCOMPARE(QToolTip::text(), Edit.text());
  Edit.setText("a");
  QApplication::sendEvent(&Edit, &Request);
  QTRY_COMPARE(QToolTip::text(), QString());
}

void TRefCtrlsTest::NameFilters() {
  QCOMPARE(FilterToNameFilters(QString::fromUtf8("ログファイル(*.log)|*.log|すべてのファイル(*.*)|*.*")),
           QStringList({QString::fromUtf8("ログファイル(*.log) (*.log)"), QString::fromUtf8("すべてのファイル(*.*) (*)")}));
  QCOMPARE(FilterToNameFilters("Pictures|*.png;*.jpg"), QStringList({"Pictures (*.png *.jpg)"}));
  QCOMPARE(FilterToNameFilters(""), QStringList());
  QCOMPARE(FilterToNameFilters("lonely"), QStringList());
}

void TRefCtrlsTest::FileDialogSettings() {
  TTempDir Temp;
  const QString Dir = QString::fromStdString(Temp.Path());
  TSelectFile Select;
  Select.Filter = "Logs|*.log|All|*.*";
  Select.FilterIndex = 2;
  Select.DefaultExt = "log";
  Select.Title = "Pick";
  Select.InitialDir = Dir;
  Select.Options = TOpenOptions(ofHideReadOnly) | ofCreatePrompt;
  QFileDialog Dialog;
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  Select.Prepare(Dialog);
  QCOMPARE(Dialog.acceptMode(), QFileDialog::AcceptOpen);
  QCOMPARE(Dialog.fileMode(), QFileDialog::AnyFile);  // a missing file may be created
  QCOMPARE(Dialog.nameFilters(), QStringList({"Logs (*.log)", "All (*)"}));
  QCOMPARE(Dialog.selectedNameFilter(), QString("All"));  // shown without its patterns
  QCOMPARE(Dialog.defaultSuffix(), QString("log"));
  QCOMPARE(Dialog.windowTitle(), QString("Pick"));
  QCOMPARE(QDir(Dialog.directory()).canonicalPath(), QDir(Dir).canonicalPath());
  QVERIFY(!Dialog.isSizeGripEnabled());

  Select.Style = dsSave;
  Select.Options = TOpenOptions(ofOverwritePrompt) | ofEnableSizing;
  Select.Prepare(Dialog);
  QCOMPARE(Dialog.acceptMode(), QFileDialog::AcceptSave);
  QVERIFY(!Dialog.testOption(QFileDialog::DontConfirmOverwrite));
  QVERIFY(Dialog.isSizeGripEnabled());
  Select.Options = {};
  Select.Prepare(Dialog);
  QVERIFY(Dialog.testOption(QFileDialog::DontConfirmOverwrite));

  Select.Style = dsOpen;
  Select.Options = ofFileMustExist;
  Select.Prepare(Dialog);
  QCOMPARE(Dialog.fileMode(), QFileDialog::ExistingFile);
  Select.Options = ofAllowMultiSelect;
  Select.Prepare(Dialog);
  QCOMPARE(Dialog.fileMode(), QFileDialog::ExistingFiles);
}

void TRefCtrlsTest::FileChooserCancelAndConfirm() {
  QWidget Form;
  TRefFileEdit Edit(&Form);
  Edit.setText("/var/log/old.log");
  QSignalSpy Changes(&Edit, &TCustomRefEdit::Change);
  Edit.Dialog().FileName = "/tmp/preset.log";
  QString Offered;
  Edit.Dialog().Runner = [&Offered](QFileDialog& Dialog, QStringList&) {
    Offered = Dialog.selectedFiles().value(0);
    return false;
  };
  Edit.ButtonClick();
  QCOMPARE(Offered, QString("/tmp/preset.log"));  // the dialog starts from FileName, not the text
  QCOMPARE(Edit.text(), QString("/var/log/old.log"));
  QCOMPARE(Changes.count(), 0);

  Edit.Dialog().Runner = [](QFileDialog&, QStringList& Chosen) {
    Chosen = QStringList{"/tmp/a.log", "/tmp/b.log"};
    return true;
  };
  Edit.ButtonClick();
  QCOMPARE(Edit.text(), QString("/tmp/a.log"));
  QCOMPARE(Changes.count(), 1);
  QCOMPARE(Edit.Dialog().FileName, QString("/tmp/a.log"));
  QCOMPARE(Edit.Dialog().Files(), QStringList({"/tmp/a.log", "/tmp/b.log"}));
  Edit.ButtonClick();  // the same name again: no change event
  QCOMPARE(Changes.count(), 1);
}

void TRefCtrlsTest::DirectoryChooser() {
  TTempDir Temp;
  const QString Dir = QString::fromStdString(Temp.Path());
  QWidget Form;
  TRefDirectoryEdit Edit(&Form);
  Edit.setText(Dir);
  QSignalSpy Changes(&Edit, &TCustomRefEdit::Change);
  Edit.Dialog().Caption = "Choose the folder";
  Edit.Dialog().Directory = Dir + "/gone";
  QString StartedIn;
  bool DirsOnly = false;
  Edit.Dialog().Runner = [&](QFileDialog& Dialog, QString&) {
    StartedIn = Dialog.directory().absolutePath();
    DirsOnly = Dialog.fileMode() == QFileDialog::Directory && Dialog.testOption(QFileDialog::ShowDirsOnly);
    return false;
  };
  Edit.ButtonClick();
  QVERIFY(DirsOnly);
  // A folder that no longer exists is not preselected, and the edit's text is not used.
  QCOMPARE(StartedIn, QDir::homePath());
  QCOMPARE(Changes.count(), 0);
  QCOMPARE(Edit.Dialog().Directory, Dir + "/gone");

  Edit.Dialog().Directory = Dir;
  Edit.setText("/elsewhere");
  Changes.clear();
  Edit.Dialog().Runner = [&](QFileDialog& Dialog, QString& Chosen) {
    StartedIn = Dialog.directory().absolutePath();
    Chosen = Dir + "/sub";
    return true;
  };
  Edit.ButtonClick();
  QCOMPARE(QDir(StartedIn).canonicalPath(), QDir(Dir).canonicalPath());
  QCOMPARE(Edit.text(), Dir + "/sub");
  QCOMPARE(Edit.Dialog().Directory, Dir + "/sub");
  QCOMPARE(Changes.count(), 1);
}

QTEST_MAIN(TRefCtrlsTest)
#include "tst_refctrls.moc"
