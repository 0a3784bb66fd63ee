#include "controls/FieldFault.h"
#include "controls/NumEdits.h"
#include "controls/RefCtrls.h"
#include "dialogs/BRISK_Config.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

struct TShownOptions {
  TConfigDialog Dialog;
  TLogSettings Settings;

  explicit TShownOptions(const TLogSettings& Values) : Settings(Values) { Show(); }
  void Show() {
    Dialog.SetSettings(&Settings);
    Dialog.show();
  }
  void Ok() {
    QVERIFY(Dialog.OKButton->isEnabled());
    QTest::mouseClick(Dialog.OKButton, Qt::LeftButton);
    QVERIFY(Dialog.isHidden());
  }
};

}  // namespace

class TConfigDialogTest : public QObject {
  Q_OBJECT

private slots:
  void SavingOffStoresEverything();
  void CheckingSaveWithEmptyName();
  void LineCountRunsRuleAndIsMarked();
  void EnterOnTheBrowseButtonBrowses();
  void FileDialogStartsAtLogFile();
  void ChosenFileRunsOkRule();
  void LineCountFromUpDown();
  void CancelWritesNothing();
};

void TConfigDialogTest::SavingOffStoresEverything() {
  TShownOptions Shown(TLogSettings{false, "", 100});
  TConfigDialog& D = Shown.Dialog;
  QVERIFY(D.OKButton->isEnabled());
  D.LinageEdt->setText("abc");
  QVERIFY(D.OKButton->isEnabled());
  Shown.Ok();
  QCOMPARE(Shown.Settings.SaveLog, false);
  QCOMPARE(Shown.Settings.LogFile, std::string());
  QCOMPARE(Shown.Settings.LogLinage, 100);  // the up-down's last position
}

void TConfigDialogTest::CheckingSaveWithEmptyName() {
  TShownOptions Shown(TLogSettings{false, "", 256});
  TConfigDialog& D = Shown.Dialog;
  QTest::mouseClick(D.SaveLogChk, Qt::LeftButton, {}, QPoint(6, D.SaveLogChk->height() / 2));
  QVERIFY(D.SaveLogChk->isChecked());
  QVERIFY(!D.OKButton->isEnabled());
  QTest::keyClicks(D.FilenameEdt, "l");
  QVERIFY(D.OKButton->isEnabled());
  QVERIFY(D.FilenameEdt->isEnabled() && D.LinageEdt->isEnabled());
  Shown.Ok();
  QCOMPARE(Shown.Settings.SaveLog, true);
  QCOMPARE(Shown.Settings.LogFile, std::string("l"));

  // Filling with saving on and an empty name disables OK through the check box's change.
  TShownOptions Again(TLogSettings{true, "", 5});
  QVERIFY(!Again.Dialog.OKButton->isEnabled());
}

// With saving on, a line count that is no whole number within 0 to 32767 disables OK
// and is marked, whether typed or stepped to; with saving off nothing is marked.
void TConfigDialogTest::LineCountRunsRuleAndIsMarked() {
  const QString Fault = QString::fromUtf8("0 から 32767 までの整数を指定してください。");
  TShownOptions Shown(TLogSettings{true, "/tmp/b.log", 10});
  TConfigDialog& D = Shown.Dialog;
  QVERIFY(D.OKButton->isEnabled());
  D.LinageEdt->selectAll();
  QTest::keyClicks(D.LinageEdt, "x");
  QVERIFY(!D.OKButton->isEnabled());
  QCOMPARE(FieldFault(D.LinageEdt), Fault);
  QCOMPARE(D.LinageEdt->toolTip(), Fault);
  QTest::keyClick(D.LinageEdt, Qt::Key_PageUp);  // from the last position, 10
  QCOMPARE(D.LinageEdt->text(), QString("20"));
  QVERIFY(D.OKButton->isEnabled());
  QCOMPARE(FieldFault(D.LinageEdt), QString());
  D.LinageEdt->setText("40000");
  QVERIFY(!D.OKButton->isEnabled());
  D.FilenameEdt->clear();
  QCOMPARE(FieldFault(D.FilenameEdt), QString::fromUtf8("ファイル名を指定してください。"));
  D.SaveLogChk->setChecked(false);
  QVERIFY(D.OKButton->isEnabled());
  QCOMPARE(FieldFault(D.LinageEdt), QString());
  QCOMPARE(FieldFault(D.FilenameEdt), QString());
}

// Return on "..." opens the file chooser and leaves the dialog open; in a field it is OK.
void TConfigDialogTest::EnterOnTheBrowseButtonBrowses() {
  TShownOptions Shown(TLogSettings{false, "/tmp/a.log", 7});
  TConfigDialog& D = Shown.Dialog;
  QVERIFY(QTest::qWaitForWindowActive(&D));
  int Browsed = 0;
  D.FilenameEdt->Dialog().Runner = [&Browsed](QFileDialog&, QStringList&) { return ++Browsed, false; };
  D.FilenameEdt->Button()->setFocus(Qt::TabFocusReason);
  QTest::keyClick(D.FilenameEdt->Button(), Qt::Key_Return);
  QCOMPARE(Browsed, 1);
  QVERIFY(D.isVisible());
  D.LinageEdt->setFocus(Qt::TabFocusReason);
  QTest::keyClick(D.LinageEdt, Qt::Key_Return);
  QVERIFY(D.isHidden());
  QCOMPARE(D.result(), int(QDialog::Accepted));
}

void TConfigDialogTest::FileDialogStartsAtLogFile() {
  TShownOptions Shown(TLogSettings{true, "/var/tmp/brisko/run.log", 256});
  const TSelectFile& Log = Shown.Dialog.FilenameEdt->Dialog();
  QCOMPARE(Log.FileName, QString("/var/tmp/brisko/run.log"));
  QCOMPARE(Log.InitialDir, QString("/var/tmp/brisko/"));
  Shown.Dialog.reject();

  Shown.Settings.LogFile = "plain.log";
  Shown.Show();
  QCOMPARE(Log.FileName, QString("plain.log"));
  QCOMPARE(Log.InitialDir, QString());
}

void TConfigDialogTest::ChosenFileRunsOkRule() {
  TShownOptions Shown(TLogSettings{true, "", 256});
  TConfigDialog& D = Shown.Dialog;
  QVERIFY(!D.OKButton->isEnabled());
  D.FilenameEdt->Dialog().Runner = [](QFileDialog&, QStringList& Chosen) {
    Chosen = QStringList{"/tmp/chosen.log"};
    return true;
  };
  QTest::mouseClick(D.FilenameEdt->Button(), Qt::LeftButton);
  QCOMPARE(D.FilenameEdt->text(), QString("/tmp/chosen.log"));
  QVERIFY(D.OKButton->isEnabled());
  QCOMPARE(Shown.Settings.LogFile, std::string());  // reaches the settings only through OK
  Shown.Ok();
  QCOMPARE(Shown.Settings.LogFile, std::string("/tmp/chosen.log"));
}

void TConfigDialogTest::LineCountFromUpDown() {
  TShownOptions Shown(TLogSettings{true, "/tmp/a.log", 256});
  TConfigDialog& D = Shown.Dialog;
  QCOMPARE(D.LinageEdt->text(), QString("256"));
  QTest::mouseClick(D.LinageEdt->UpDown()->UpButton(), Qt::LeftButton);
  QTest::mouseClick(D.LinageEdt->UpDown()->UpButton(), Qt::LeftButton);
  QCOMPARE(D.LinageEdt->text(), QString("258"));
  Shown.Ok();
  QCOMPARE(Shown.Settings.LogLinage, 258);

  Shown.Show();
  D.LinageEdt->setText("12");  // a typed whole number is the position
  Shown.Ok();
  QCOMPARE(Shown.Settings.LogLinage, 12);

  Shown.Settings.SaveLog = false;  // with saving on, OK would stay disabled
  Shown.Show();
  D.LinageEdt->setText("99999");  // out of range: the last position stays
  Shown.Ok();
  QCOMPARE(Shown.Settings.LogLinage, 12);
}

void TConfigDialogTest::CancelWritesNothing() {
  TConfigDialog Dialog;
  TLogSettings Settings{false, "/tmp/x.log", 7};
  QTimer::singleShot(0, &Dialog, [&Dialog] {
    Dialog.SaveLogChk->setChecked(true);
    Dialog.LinageEdt->SetValue(9);
    QTest::keyClick(&Dialog, Qt::Key_Escape);
  });
  QVERIFY(!Dialog.EditOptions(nullptr, Settings));
  QCOMPARE(Settings.SaveLog, false);
  QCOMPARE(Settings.LogLinage, 7);

  QTimer::singleShot(0, &Dialog, [&Dialog] {
    Dialog.LinageEdt->SetValue(9);
    Dialog.OKButton->click();
  });
  QVERIFY(Dialog.EditOptions(nullptr, Settings));
  QCOMPARE(Settings.LogLinage, 9);
  QCOMPARE(Settings.LogFile, std::string("/tmp/x.log"));
}

QTEST_MAIN(TConfigDialogTest)
#include "tst_config.moc"
