#include "controls/FieldFault.h"
#include "controls/NumEdits.h"
#include "controls/RefCtrls.h"
#include "dialogs/BRISK_Edit.h"
#include "shell/ShellTypes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QAction>
#include <QDir>
#include <QTest>
#include <QTimer>

namespace {

const QString Access = QString::fromUtf8("アクセス日時");
const QString Modified = QString::fromUtf8("更新日時");
const QString Deleted = QString::fromUtf8("削除日時");

// The dialog shown (not modally) for one row, as the main window shows it for Add
// and Modify; Ok() and Cancel() close it as the buttons do.
struct TShownDialog {
  TEditDialog Dialog;
  TItemTexts Texts;

  explicit TShownDialog(const TItemTexts& Row) : Texts(Row) { Show(); }
  void Show() {
    Dialog.SetItem(&Texts);
    Dialog.show();
  }
  void Ok() {
    QVERIFY(Dialog.OKButton->isEnabled());
    QTest::mouseClick(Dialog.OKButton, Qt::LeftButton);
    QVERIFY(Dialog.isHidden());
  }
  void Cancel() { QTest::keyClick(&Dialog, Qt::Key_Escape); }
  QList<QCheckBox*> CheckBoxes() const {
    return Dialog.AttributeGroup->findChildren<QCheckBox*>() + Dialog.OptionGroup->findChildren<QCheckBox*>();
  }
};

}  // namespace

class TEditDialogTest : public QObject {
  Q_OBJECT

private slots:
  void TabOrderAndMnemonics();
  void NewRowDefaultsAndOkRule();
  void ModifiedTimeRoundTrip();
  void TrashButtonAndTypingAfter();
  void LetterOrdersAndPairings();
  void DeletionDateOnOrdinaryFolder();
  void UnusableDayCounts_data();
  void UnusableDayCounts();
  void FolderEditResetsBaseDate();
  void StepsRunOkRule();
  void DisabledOkMarksItsFields_data();
  void DisabledOkMarksItsFields();
  void EnterActsOnTheFocusedButton_data();
  void EnterActsOnTheFocusedButton();
  void BrowsedFolderMakesOrdinaryItem();
  void NamesKeptByteForByte();
  void EditItemModal();
  void MissingFolderIsAWarningOnly();
  void TextsThatWouldNotReadBack_data();
  void TextsThatWouldNotReadBack();
};

void TEditDialogTest::TabOrderAndMnemonics() {
  TEditDialog Dialog;
  QCOMPARE(Dialog.LocationLbl->buddy(), Dialog.LocationEdt);
  QCOMPARE(Dialog.IncludeLbl->buddy(), Dialog.IncludeEdt);
  QCOMPARE(Dialog.ExcludeLbl->buddy(), Dialog.ExcludeEdt);
  QCOMPARE(Dialog.LapsedDaysLbl->buddy(), Dialog.BaseDateCbx);
  const QList<QWidget*> Expected = {Dialog.OKButton, Dialog.CancelButton, Dialog.LocationEdt,
                                    Dialog.LocationEdt->Button(), Dialog.BitbucketBtn, Dialog.IncludeEdt,
                                    Dialog.ExcludeEdt, Dialog.BaseDateCbx, Dialog.LapsedTimeEdt,
                                    Dialog.ReadOnlyChk, Dialog.HiddenChk, Dialog.SysFileChk,
                                    Dialog.DirectoryChk, Dialog.ArchiveChk, Dialog.SubdirTooChk,
                                    Dialog.EmptydirOnlyChk, Dialog.DeadlnkNowChk, Dialog.IgnoreUninsChk,
                                    Dialog.ToBitbucketChk};
  QList<QWidget*> Chain;
  QWidget* At = Dialog.OKButton;
  do {
    if (At->focusPolicy() & Qt::TabFocus) Chain << At;
    At = At->nextInFocusChain();
  } while (At != Dialog.OKButton && Chain.size() < 40);
  QCOMPARE(Chain, Expected);
}

void TEditDialogTest::NewRowDefaultsAndOkRule() {
  TShownDialog Shown(TItemTexts{});
  TEditDialog& D = Shown.Dialog;
  QCOMPARE(D.LocationEdt->text(), QString());
  QCOMPARE(D.BaseDateCbx->currentText(), Access);
  QCOMPARE(D.BaseDateCbx->count(), 3);
  QCOMPARE(D.LapsedTimeEdt->text(), QString("7"));
  for (QCheckBox* Box : Shown.CheckBoxes()) QVERIFY2(!Box->isChecked(), qPrintable(Box->objectName()));
  QVERIFY(!D.OKButton->isEnabled());
  QTest::keyClicks(D.LocationEdt, "/data/tmp");
  QVERIFY(!D.OKButton->isEnabled());
  QTest::keyClicks(D.IncludeEdt, "*.tmp");
  QVERIFY(D.OKButton->isEnabled());
  Shown.Ok();
  QCOMPARE(Shown.Texts, (TItemTexts{"/data/tmp", "*.tmp", "", "A+7", "", ""}));
}

void TEditDialogTest::ModifiedTimeRoundTrip() {
  const TItemTexts Row{"/srv/cache", "*.bak;*.old", "keep*", "M+30", "RHS", "TI"};
  TShownDialog Shown(Row);
  QCOMPARE(Shown.Dialog.BaseDateCbx->currentText(), Modified);
  QCOMPARE(Shown.Dialog.LapsedTimeEdt->text(), QString("30"));
  QCOMPARE(Shown.Dialog.ExcludeEdt->text(), QString("keep*"));
  Shown.Ok();
  QCOMPARE(Shown.Texts, Row);

  // Cancel leaves the row as it was, whatever was edited.
  Shown.Show();
  QTest::keyClicks(Shown.Dialog.IncludeEdt, ";*.x");
  Shown.Dialog.ReadOnlyChk->setChecked(false);
  Shown.Cancel();
  QVERIFY(Shown.Dialog.isHidden());
  QCOMPARE(Shown.Texts, Row);
}

void TEditDialogTest::TrashButtonAndTypingAfter() {
  TShownDialog Shown(TItemTexts{"/home/u/tmp", "", "", "C+3", "H", "B"});
  TEditDialog& D = Shown.Dialog;
  QTest::mouseClick(D.BitbucketBtn, Qt::LeftButton);
  QCOMPARE(D.LocationEdt->text(), QString::fromStdString(GetSpecialFolderName(CSIDL_BITBUCKET)));
  QCOMPARE(D.BaseDateCbx->count(), 4);
  QCOMPARE(D.BaseDateCbx->currentText(), Deleted);
  QVERIFY(!D.BaseDateCbx->isEnabled());
  for (QCheckBox* Box : Shown.CheckBoxes()) QVERIFY2(!Box->isEnabled(), qPrintable(Box->objectName()));
  QVERIFY(D.HiddenChk->isChecked() && D.ToBitbucketChk->isChecked());
  QVERIFY(D.IncludeEdt->isEnabled() && D.LapsedTimeEdt->isEnabled() && D.AttributeGroup->isEnabled());
  QVERIFY(!D.OKButton->isEnabled());  // still needs an include mask
  QTest::keyClicks(D.IncludeEdt, "*");
  QVERIFY(D.OKButton->isEnabled());

  // One more character makes it an ordinary folder again.
  QTest::keyClick(D.LocationEdt, Qt::Key_End);
  QTest::keyClicks(D.LocationEdt, "x");
  QCOMPARE(D.BaseDateCbx->count(), 3);
  QCOMPARE(D.BaseDateCbx->currentText(), Access);
  QVERIFY(D.BaseDateCbx->isEnabled());
  for (QCheckBox* Box : Shown.CheckBoxes()) QVERIFY(Box->isEnabled());
  QTest::keyClick(D.LocationEdt, Qt::Key_Backspace);

  Shown.Ok();
  QCOMPARE(Shown.Texts, (TItemTexts{"trash:///", "*", "", "D+3", "H", "B"}));

  // The next showing of the trash row keeps the fourth entry and the disabled boxes.
  Shown.Show();
  QCOMPARE(D.BaseDateCbx->currentText(), Deleted);
  QVERIFY(!D.ReadOnlyChk->isEnabled());
  Shown.Cancel();
}

void TEditDialogTest::LetterOrdersAndPairings() {
  TShownDialog Shown(TItemTexts{"/a", "*", "", "A+1", "HRx", "BUTOI"});
  TEditDialog& D = Shown.Dialog;
  QVERIFY(D.HiddenChk->isChecked() && D.ReadOnlyChk->isChecked() && !D.DirectoryChk->isChecked());
  QVERIFY(D.EmptydirOnlyChk->isChecked());
  Shown.Ok();
  // No "O" without the folder attribute; "U" stays with "I".
  QCOMPARE(Shown.Texts[itAttribute], std::string("RH"));
  QCOMPARE(Shown.Texts[itOption], std::string("TIUB"));

  Shown.Show();
  QVERIFY(!D.EmptydirOnlyChk->isChecked());
  D.DirectoryChk->setChecked(true);
  D.EmptydirOnlyChk->setChecked(true);
  D.DeadlnkNowChk->setChecked(false);
  Shown.Ok();
  QCOMPARE(Shown.Texts[itAttribute], std::string("RHD"));
  QCOMPARE(Shown.Texts[itOption], std::string("TOB"));  // "U" without "I" is dropped

  Shown.Texts[itAttribute] = "rh";  // lower case is no letter of ours
  Shown.Texts[itOption] = "";
  Shown.Show();
  QVERIFY(!D.ReadOnlyChk->isChecked() && !D.HiddenChk->isChecked());
  QVERIFY(!D.SubdirTooChk->isChecked());
  Shown.Ok();
  QCOMPARE(Shown.Texts[itAttribute], std::string());
}

void TEditDialogTest::DeletionDateOnOrdinaryFolder() {
  TShownDialog Shown(TItemTexts{"/var/tmp", "*", "", "D+5", "", ""});
  QCOMPARE(Shown.Dialog.BaseDateCbx->currentIndex(), -1);
  QVERIFY(Shown.Dialog.OKButton->isEnabled());
  Shown.Ok();
  QCOMPARE(Shown.Texts[itLapsedDays], std::string("5"));
}

void TEditDialogTest::UnusableDayCounts_data() {
  QTest::addColumn<QString>("Days");
  QTest::newRow("beyond range") << "A+40000";
  QTest::newRow("letters") << "A+abc";
  QTest::newRow("negative") << "A+-1";
  QTest::newRow("empty count") << "A+";
  QTest::newRow("letter only") << "M";
}

void TEditDialogTest::UnusableDayCounts() {
  QFETCH(QString, Days);
  const TItemTexts Row{"/a", "*", "", Days.toStdString(), "S", "T"};
  TShownDialog Shown(Row);
  TEditDialog& D = Shown.Dialog;
  QVERIFY(!D.OKButton->isEnabled());
  QVERIFY(D.SysFileChk->isChecked() && D.SubdirTooChk->isChecked());  // the rest is filled anyway
  Shown.Cancel();
  QCOMPARE(Shown.Texts, Row);

  // Typing a valid count enables OK.
  Shown.Show();
  D.LapsedTimeEdt->selectAll();
  QTest::keyClicks(D.LapsedTimeEdt, "12");
  QVERIFY(D.OKButton->isEnabled());
  Shown.Ok();
  QCOMPARE(Shown.Texts[itLapsedDays].substr(1), std::string("+12"));
}

void TEditDialogTest::FolderEditResetsBaseDate() {
  TShownDialog Shown(TItemTexts{"/a", "*", "", "A+7", "", ""});
  TEditDialog& D = Shown.Dialog;
  D.BaseDateCbx->setCurrentIndex(0);
  QTest::keyClick(D.LocationEdt, Qt::Key_End);
  QTest::keyClicks(D.LocationEdt, "b");
  QCOMPARE(D.BaseDateCbx->currentText(), Access);
  D.BaseDateCbx->setCurrentIndex(0);
  Shown.Ok();
  QCOMPARE(Shown.Texts[itLapsedDays], std::string("C+7"));
  QCOMPARE(Shown.Texts[itLocation], std::string("/ab"));
}

// A step writes a valid count without a change event; OK and the mark follow it all the same.
void TEditDialogTest::StepsRunOkRule() {
  TShownDialog Shown(TItemTexts{"/a", "*", "", "A+abc", "", ""});
  TEditDialog& D = Shown.Dialog;
  QVERIFY(!D.OKButton->isEnabled());
  QVERIFY(!FieldFault(D.LapsedTimeEdt).isEmpty());
  D.LapsedTimeEdt->setFocus();
  QTest::keyClick(D.LapsedTimeEdt, Qt::Key_Up);
  QCOMPARE(D.LapsedTimeEdt->text(), QString("8"));
  QVERIFY(D.OKButton->isEnabled());
  QCOMPARE(FieldFault(D.LapsedTimeEdt), QString());
}

void TEditDialogTest::DisabledOkMarksItsFields_data() {
  QTest::addColumn<QStringList>("Row");  // folder, include masks, days
  QTest::addColumn<QStringList>("Faults");  // of the folder, the include masks, the count
  const QString Folder = QString::fromUtf8("対象フォルダを指定してください。");
  const QString Include = QString::fromUtf8("削除ファイルを指定してください。");
  const QString Count = QString::fromUtf8("0 から 32767 までの整数を指定してください。");
  QTest::newRow("new item") << QStringList{"", "", ""} << QStringList{Folder, Include, ""};
  QTest::newRow("no masks") << QStringList{"/tmp", "", "A+1"} << QStringList{"", Include, ""};
  QTest::newRow("count out of range") << QStringList{"/tmp", "*", "A+40000"} << QStringList{"", "", Count};
  QTest::newRow("count no number") << QStringList{"/tmp", "*", "C+x1"} << QStringList{"", "", Count};
  QTest::newRow("usable") << QStringList{"/tmp", "*", "A+1"} << QStringList{"", "", ""};
  // Folder texts a run refuses: relative, Windows, the root.
  const QString Absolute = QString::fromUtf8("対象フォルダは / で始まる絶対パスで指定してください。");
  const QString Windows = QString::fromUtf8("Windows のパスは使えません。/ で始まる絶対パスで指定してください。");
  const QString Root = QString::fromUtf8("ルートフォルダは対象フォルダにできません。");
  QTest::newRow("relative folder") << QStringList{"tmp", "*", "A+1"} << QStringList{Absolute, "", ""};
  QTest::newRow("drive path") << QStringList{"C:\\Temp", "*", "A+1"} << QStringList{Windows, "", ""};
  QTest::newRow("root") << QStringList{"//", "*", "A+1"} << QStringList{Root, "", ""};
  QTest::newRow("trash") << QStringList{"trash:///", "*", "D+1"} << QStringList{"", "", ""};
}

// OK is disabled exactly while a field is marked; a marked field carries a warning icon
// and says what is wrong in its tool tip, and the dialog opens in the first of them.
void TEditDialogTest::DisabledOkMarksItsFields() {
  QFETCH(QStringList, Row);
  QFETCH(QStringList, Faults);
  TEditDialog Dialog;
  TItemTexts Texts{Row[0].toStdString(), Row[1].toStdString(), "", Row[2].toStdString(), "", ""};
  Dialog.SetItem(&Texts);
  Dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&Dialog));
  const QList<QLineEdit*> Fields{Dialog.LocationEdt, Dialog.IncludeEdt, Dialog.LapsedTimeEdt};
  QWidget* FirstMarked = nullptr;
  for (int At = 0; At < Fields.size(); ++At) {
    QCOMPARE(FieldFault(Fields[At]), Faults[At]);
    QCOMPARE(Fields[At]->toolTip(), Faults[At]);
    // The wide fields carry a warning icon; the narrow count has the tint alone.
    QCOMPARE(Fields[At]->actions().isEmpty(), Faults[At].isEmpty() || Fields[At] == Dialog.LapsedTimeEdt);
    QCOMPARE(Fields[At]->palette().color(QPalette::Base) != Dialog.ExcludeEdt->palette().color(QPalette::Base),
             !Faults[At].isEmpty());
    if (!Faults[At].isEmpty() && !FirstMarked) FirstMarked = Fields[At];
  }
  QCOMPARE(Dialog.OKButton->isEnabled(), FirstMarked == nullptr);
  QCOMPARE(QApplication::focusWidget(), FirstMarked ? FirstMarked : Dialog.OKButton);
  // The folder's text tip says what is wrong, then shows the text (a short text that
  // is not wrong needs no tip of its own).
  QCOMPARE(Dialog.LocationEdt->TextTipText(), Faults[0].isEmpty() || Row[0].isEmpty() ? Faults[0] : Faults[0] + "\n" + Row[0]);
}

void TEditDialogTest::EnterActsOnTheFocusedButton_data() {
  QTest::addColumn<QString>("Focus");
  QTest::addColumn<QString>("Outcome");
  QTest::newRow("OK") << "OKButton" << "accepted";
  QTest::newRow("Cancel") << "CancelButton" << "rejected";
  QTest::newRow("trash button") << "BitbucketBtn" << "trash";
  QTest::newRow("browse button") << "Button" << "browsed";
  QTest::newRow("a field") << "IncludeEdt" << "accepted";
}

// Return, and Enter on the keypad, press the focused push button; elsewhere they press OK.
void TEditDialogTest::EnterActsOnTheFocusedButton() {
  QFETCH(QString, Focus);
  QFETCH(QString, Outcome);
  for (Qt::Key Key : {Qt::Key_Return, Qt::Key_Enter}) {
    TShownDialog Shown(TItemTexts{"/a", "*", "", "A+1", "", ""});
    TEditDialog& D = Shown.Dialog;
    QVERIFY(QTest::qWaitForWindowActive(&D));
    bool Browsed = false;
    D.LocationEdt->Dialog().Runner = [&Browsed](QFileDialog&, QString&) { return Browsed = true, false; };
    QWidget* Target = D.findChild<QWidget*>(Focus);
    QVERIFY(Target);
    Target->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Key);
    const QString Happened = D.isVisible() ? (Browsed ? "browsed" : D.LocationEdt->text() == "trash:///" ? "trash" : "nothing")
                             : D.result() == QDialog::Accepted ? "accepted"
                                                               : "rejected";
    QCOMPARE(Happened, Outcome);
  }
}

void TEditDialogTest::BrowsedFolderMakesOrdinaryItem() {
  TShownDialog Shown(TItemTexts{"trash:///", "*", "", "D+2", "", ""});
  TEditDialog& D = Shown.Dialog;
  QCOMPARE(D.BaseDateCbx->currentText(), Deleted);
  QString Started;
  D.LocationEdt->Dialog().Directory = "/tmp";
  D.LocationEdt->Dialog().Runner = [&Started](QFileDialog& Dialog, QString& Chosen) {
    Started = Dialog.directory().absolutePath();
    Chosen = "/tmp";
    return true;
  };
  QTest::mouseClick(D.LocationEdt->Button(), Qt::LeftButton);
  QCOMPARE(Started, QString("/tmp"));
  QCOMPARE(D.LocationEdt->text(), QString("/tmp"));
  QCOMPARE(D.BaseDateCbx->currentText(), Access);
  Shown.Ok();
  QCOMPARE(Shown.Texts, (TItemTexts{"/tmp", "*", "", "A+2", "", ""}));
}

void TEditDialogTest::NamesKeptByteForByte() {
  const std::string Folder = "/data/\xff\xfe-latin1-\xe9t\xe9";
  const std::string Mask = "\x83\x65\x83\x58\x83\x67*";  // Shift-JIS bytes, not UTF-8
  TShownDialog Shown(TItemTexts{Folder, Mask, "", "A+1", "", ""});
  Shown.Ok();
  QCOMPARE(Shown.Texts[itLocation], Folder);
  QCOMPARE(Shown.Texts[itMask], Mask);
}

void TEditDialogTest::EditItemModal() {
  TEditDialog Dialog;
  TItemTexts Texts{"/m", "*.log", "", "A+9", "", ""};
  QTimer::singleShot(0, &Dialog, [&Dialog] {
    Dialog.LapsedTimeEdt->setText("10");
    Dialog.OKButton->click();
  });
  QVERIFY(Dialog.EditItem(nullptr, Texts));
  QCOMPARE(Texts[itLapsedDays], std::string("A+10"));

  QTimer::singleShot(0, &Dialog, [&Dialog] {
    Dialog.IncludeEdt->setText("changed");
    Dialog.CancelButton->click();
  });
  auto* Window = new QWidget;
  QVERIFY(!Dialog.EditItem(Window, Texts));
  QCOMPARE(Texts[itMask], std::string("*.log"));
  // The window it was shown over does not take it along when it goes.
  delete Window;
  QCOMPARE(Dialog.parentWidget(), nullptr);
  QVERIFY(Dialog.isWindow());
}

// A folder that does not exist is marked with a warning and its reason, but OK stays
// enabled (the folder may appear later) and no fault is recorded; typing a folder
// that exists takes the mark away.
void TEditDialogTest::MissingFolderIsAWarningOnly() {
  const QString warning = QString::fromUtf8("このフォルダは現在存在しません。");
  const QString existing = QDir::tempPath();
  const struct {
    QString Folder;
    bool Warned;
  } cases[] = {{existing + "/brisko-no-such-folder", true}, {existing, false}, {"trash:///", false}};
  TShownDialog Shown(TItemTexts{"", "*", "", "A+1", "", ""});
  for (const auto& c : cases) {
    Shown.Dialog.LocationEdt->setText(c.Folder);
    QVERIFY2(Shown.Dialog.OKButton->isEnabled(), qPrintable(c.Folder));
    QCOMPARE(FieldFault(Shown.Dialog.LocationEdt), QString());
    const auto* mark = Shown.Dialog.LocationEdt->findChild<QAction*>(u"FieldWarning"_qs);
    QCOMPARE(mark ? mark->toolTip() : QString(), c.Warned ? warning : QString());
  }
}

void TEditDialogTest::TextsThatWouldNotReadBack_data() {
  QTest::addColumn<int>("Field");  // 0 folder, 1 include masks, 2 exclude masks
  QTest::addColumn<QString>("Text");
  QTest::addColumn<QString>("Fault");
  const QString Blanks = QString::fromUtf8("前後の空白は保存されません。前後に空白を置かないでください。");
  const QString Quoted = QString::fromUtf8("前後を囲む引用符は保存されません。引用符で囲まないでください。");
  const QString TooLong = QString::fromUtf8("長すぎます。2047 文字以内で指定してください。");
  const QString Nul = QString::fromUtf8("NUL 文字は使えません。");
  QTest::newRow("folder with a blank after it") << 0 << "/x/cache " << Blanks;
  QTest::newRow("folder in quotes") << 0 << "\"/x\"" << Quoted;
  QTest::newRow("folder too long") << 0 << "/" + QString(2047, 'a') << TooLong;
  QTest::newRow("folder at the limit") << 0 << "/" + QString(2046, 'a') << QString();
  QTest::newRow("masks with a NUL") << 1 << QString::fromLatin1("*.tmp\0x", 7) << Nul;
  QTest::newRow("masks with a tab before") << 1 << "\t*.tmp" << Blanks;
  QTest::newRow("exception list too long") << 2 << QString(2048, ';') << TooLong;
  QTest::newRow("exception in quotes") << 2 << "'keep*'" << Quoted;
  QTest::newRow("exception quoted inside") << 2 << "'keep*';x" << QString();
}

// A text the pattern file would give back otherwise is a fault of its field: the
// window's Test cannot use another text than the one a scheduled run reads.
void TEditDialogTest::TextsThatWouldNotReadBack() {
  QFETCH(int, Field);
  QFETCH(QString, Text);
  QFETCH(QString, Fault);
  TShownDialog Shown(TItemTexts{"/a", "*", "", "A+1", "", ""});
  TEditDialog& D = Shown.Dialog;
  QLineEdit* Edits[] = {D.LocationEdt, D.IncludeEdt, D.ExcludeEdt};
  Edits[Field]->setText(Text);
  QCOMPARE(Edits[Field]->text(), Text);
  QCOMPARE(FieldFault(Edits[Field]), Fault);
  QCOMPARE(D.OKButton->isEnabled(), Fault.isEmpty());
}

QTEST_MAIN(TEditDialogTest)
#include "tst_edit.moc"
