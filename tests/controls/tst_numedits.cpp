#include "controls/NumEdits.h"
#include "platform/BriskoError.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

class TNumEditsTest : public QObject {
  Q_OBJECT

private slots:
  void FilterCharClasses_data();
  void FilterCharClasses();
  void FilterTextKeepsOrder();
  void TypedKeysAreFiltered();
  void PasteIsFiltered_data();
  void PasteIsFiltered();
  void ContextMenuPasteIsFiltered();
  void DropIsFiltered();
  void NumberForms_data();
  void NumberForms();
  void RelationFollowsTextAndPosition();
  void ValueWriteSameAndDifferent();
  void EndUpdateWithoutBegin();
  void ArrowsRaiseCountNeverChange();
  void ArrowsClampAndWrap();
  void WheelAndPageKeysStepWithinRange_data();
  void WheelAndPageKeysStepWithinRange();
  void VerifyCorrectsTextAndPosition();
  void CanChangeRefusal();
  void UpDownPlacementAndState();
  void ValueWithoutUpDown();
};

void TNumEditsTest::FilterCharClasses_data() {
  QTest::addColumn<int>("Filters");
  QTest::addColumn<QString>("Allowed");
  QTest::addColumn<QString>("Rejected");
  const QString Controls = QString::fromUtf16(u"\u0001\u0003\u0008\u0016\u0018\u001a\u001b");
  QTest::newRow("empty set allows all") << 0 << QString::fromUtf16(u"a+-.,$\u3042\u0002") << QString();
  QTest::newRow("decimal") << int(fcAllowDecimal) << "0123456789" + Controls << QString::fromUtf16(u"+-$.,aA \u0002\u007f");
  QTest::newRow("negative alone") << int(fcAllowNegative) << "-09" + Controls << "+aE.";
  QTest::newRow("positive") << int(fcAllowPositive) << "+5" << "-";
  QTest::newRow("hex") << int(fcAllowHexdigit) << "$AaFfXx09" << "Gg-";
  QTest::newRow("real") << int(fcAllowReal) << ".Ee" << ",";
  QTest::newRow("separator") << int(fcAllowSeparater) << "," << ".";
  QTest::newRow("reject process only") << int(fcRejectProcess) << "7" << "-";
  QTest::newRow("wide chars never") << int(fcAllowDecimal | fcAllowHexdigit) << "a" << QString::fromUtf16(u"\uff11\u0660\u3042");
}

void TNumEditsTest::FilterCharClasses() {
  QFETCH(int, Filters);
  QFETCH(QString, Allowed);
  QFETCH(QString, Rejected);
  for (QChar Ch : Allowed) QVERIFY2(IsFilterChar(Ch, TFilterChars(Filters)), qPrintable(QString::number(Ch.unicode())));
  for (QChar Ch : Rejected) QVERIFY2(!IsFilterChar(Ch, TFilterChars(Filters)), qPrintable(QString::number(Ch.unicode())));
}

void TNumEditsTest::FilterTextKeepsOrder() {
  QString Dest = "stale";
  QVERIFY(FilterText("1-2a3", Dest, fcAllowDecimal));
  QCOMPARE(Dest, QString("123"));
  QVERIFY(!FilterText("-12", Dest, fcAllowNegative));
  QCOMPARE(Dest, QString("-12"));
  QVERIFY(!FilterText("", Dest, fcAllowNegative));
  QCOMPARE(Dest, QString());
}

void TNumEditsTest::TypedKeysAreFiltered() {
  TCustomNumEdit Edit;
  Edit.SetFilters(fcAllowNegative);
  QTest::keyClicks(&Edit, "1-2+a3e");
  QCOMPARE(Edit.text(), QString("1-23"));
  // Editing keys are the edit's own, not characters to filter.
  QTest::keyClick(&Edit, Qt::Key_Backspace);
  QTest::keyClick(&Edit, Qt::Key_Home);
  QTest::keyClick(&Edit, Qt::Key_Delete);
  QCOMPARE(Edit.text(), QString("-2"));
  QTest::keyClick(&Edit, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(Edit.selectedText(), QString("-2"));

  TCustomNumEdit Free;
  QTest::keyClicks(&Free, "x+y");
  QCOMPARE(Free.text(), QString("x+y"));
}

void TNumEditsTest::PasteIsFiltered_data() {
  QTest::addColumn<int>("Filters");
  QTest::addColumn<QString>("Clipboard");
  QTest::addColumn<QString>("Expected");
  QTest::newRow("dropped chars") << int(fcAllowDecimal) << "12a3" << "x123y";
  QTest::newRow("reject process") << int(fcAllowDecimal | fcRejectProcess) << "12a3" << "xy";
  QTest::newRow("clean text") << int(fcAllowDecimal | fcRejectProcess) << "45" << "x45y";
  QTest::newRow("no filters") << 0 << "a b" << "xa by";
  QTest::newRow("no text") << int(fcAllowDecimal) << QString() << "xy";
}

void TNumEditsTest::PasteIsFiltered() {
  QFETCH(int, Filters);
  QFETCH(QString, Clipboard);
  QFETCH(QString, Expected);
  if (Clipboard.isNull())
    QApplication::clipboard()->clear();
  else
    QApplication::clipboard()->setText(Clipboard);
  for (bool ShiftInsert : {false, true}) {
    TCustomNumEdit Edit;
    Edit.SetFilters(TFilterChars(Filters));
    Edit.setText("xy");
    Edit.setCursorPosition(1);
    if (ShiftInsert)
      QTest::keyClick(&Edit, Qt::Key_Insert, Qt::ShiftModifier);
    else
      QTest::keyClick(&Edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Edit.text(), Expected);
  }
}

void TNumEditsTest::ContextMenuPasteIsFiltered() {
  QApplication::clipboard()->setText("7a8");
  TCustomNumEdit Edit;
  Edit.SetFilters(fcAllowDecimal);
  Edit.show();
  QContextMenuEvent Event(QContextMenuEvent::Mouse, QPoint(2, 2), Edit.mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(&Edit, &Event);
  QMenu* Menu = Edit.findChild<QMenu*>();
  QVERIFY(Menu);
  QAction* PasteAction = nullptr;
  for (QAction* Action : Menu->actions())
    if (Action->text().startsWith("&Paste")) PasteAction = Action;
  QVERIFY(PasteAction);
  PasteAction->trigger();
  QCOMPARE(Edit.text(), QString("78"));
  Menu->close();
}

namespace {
struct TDropTarget : TCustomNumEdit {
  using TCustomNumEdit::dropEvent;  // no drag manager here to deliver the drop
};
}  // namespace

void TNumEditsTest::DropIsFiltered() {
  for (TFilterChars Filters : {TFilterChars(fcAllowDecimal), fcAllowDecimal | fcRejectProcess}) {
    TDropTarget Edit;
    Edit.SetFilters(Filters);
    Edit.show();
    QMimeData Data;
    Data.setText("4x5");
    QDropEvent Drop(QPointF(2, Edit.height() / 2), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
    Edit.dropEvent(&Drop);
    QCOMPARE(Edit.text(), QString(Filters & fcRejectProcess ? "" : "45"));
  }
}

void TNumEditsTest::NumberForms_data() {
  QTest::addColumn<QString>("Text");
  QTest::addColumn<bool>("IsNumber");
  QTest::addColumn<int>("Number");
  QTest::newRow("decimal") << "12" << true << 12;
  QTest::newRow("blanks and sign") << "  -12" << true << -12;
  QTest::newRow("plus") << "+7" << true << 7;
  QTest::newRow("dollar hex") << "$1F" << true << 31;
  QTest::newRow("0x hex") << "0x1f" << true << 31;
  QTest::newRow("negative hex") << "-$10" << true << -16;
  QTest::newRow("all bits hex") << "$FFFFFFFF" << true << -1;
  QTest::newRow("int max") << "2147483647" << true << 2147483647;
  QTest::newRow("int min") << "-2147483648" << true << int(-2147483647 - 1);
  QTest::newRow("overflow") << "2147483648" << false << 0;
  QTest::newRow("hex overflow") << "$100000000" << false << 0;
  QTest::newRow("empty") << "" << false << 0;
  QTest::newRow("blanks only") << "  " << false << 0;
  QTest::newRow("sign only") << "-" << false << 0;
  QTest::newRow("trailing blank") << "5 " << false << 0;
  QTest::newRow("letters") << "abc" << false << 0;
  QTest::newRow("bare prefix") << "$" << false << 0;
  QTest::newRow("hex digit in decimal") << "1f" << false << 0;
}

void TNumEditsTest::NumberForms() {
  QFETCH(QString, Text);
  QFETCH(bool, IsNumber);
  QFETCH(int, Number);
  int Parsed = -99;
  QCOMPARE(TextToInt32(Text, Parsed), IsNumber);
  if (IsNumber) {
    QCOMPARE(Parsed, Number);
    QCOMPARE(TextRelation(Text, Number), nrAccord);
    QCOMPARE(TextRelation(Text, Number + 1), nrDisaccord);
  } else {
    QCOMPARE(TextRelation(Text, 0), nrNonNumber);
  }
}

void TNumEditsTest::RelationFollowsTextAndPosition() {
  QWidget Form;
  TUpDownEdit Edit(&Form);
  QCOMPARE(Edit.text(), QString("0"));
  Edit.UpDown()->SetMax(10);
  Edit.SetValue(4);
  Edit.setText("12");
  QCOMPARE(Edit.Relation(), nrDisaccord);  // 12 is outside 0..10: the position stays 4
  QCOMPARE(Edit.UpDown()->Position(), 4);
  Edit.setText("9");
  QCOMPARE(Edit.Relation(), nrAccord);     // a valid text becomes the position when read
  QCOMPARE(Edit.Value(), 9);
  Edit.setText("");
  QCOMPARE(Edit.Relation(), nrNonNumber);
  QCOMPARE(Edit.Value(), 9);
  Edit.setText("$9");
  QCOMPARE(Edit.Relation(), nrAccord);     // hexadecimal is a number, but not taken as position
  Edit.setText("$5");
  QCOMPARE(Edit.Relation(), nrDisaccord);
}

namespace {
struct TEventLog : QObject {
  QStringList Events;
  explicit TEventLog(TUpDownEdit& Edit) {
    connect(&Edit, &TUpDownEdit::Count, this, [this] { Events << "Count"; });
    connect(&Edit, &TUpDownEdit::Change, this, [this] { Events << "Change"; });
    connect(&Edit, &TUpDownEdit::Verify, this, [this](QString&, int&, TNumericallyRelationship) { Events << "Verify"; });
  }
};
}  // namespace

void TNumEditsTest::ValueWriteSameAndDifferent() {
  QWidget Form;
  TUpDownEdit Edit(&Form);
  Edit.UpDown()->SetMax(32767);
  Edit.SetValue(5);
  TEventLog Log(Edit);

  Edit.setText("abc");  // typed text: a change event and a verify
  QCOMPARE(Log.Events, QStringList({"Change", "Verify"}));

  Log.Events.clear();
  Edit.SetValue(5);  // the position already is 5, the text is not "5"
  QCOMPARE(Log.Events, QStringList({"Count", "Verify", "Change", "Verify"}));
  QCOMPARE(Edit.text(), QString("5"));
  QCOMPARE(Edit.UpdateCount(), 0);

  Log.Events.clear();
  Edit.SetValue(5);  // same position, same text
  QCOMPARE(Log.Events, QStringList({"Count", "Verify"}));

  Log.Events.clear();
  Edit.SetValue(30);
  QCOMPARE(Log.Events, QStringList({"Count", "Verify"}));
  QCOMPARE(Edit.text(), QString("30"));
  QCOMPARE(Edit.Relation(), nrAccord);
  QCOMPARE(Edit.UpdateCount(), 0);

  Log.Events.clear();
  Edit.SetValue(40000);  // beyond the range: the position stops at the maximum
  QCOMPARE(Edit.text(), QString("40000"));
  QCOMPARE(Edit.UpDown()->Position(), 32767);
  QCOMPARE(Edit.Relation(), nrDisaccord);
  QVERIFY(!Log.Events.contains("Change"));
}

void TNumEditsTest::EndUpdateWithoutBegin() {
  QWidget Form;
  TUpDownEdit Edit(&Form);
  TEventLog Log(Edit);
  Edit.EndUpdate();
  QCOMPARE(Edit.UpdateCount(), 0);
  QVERIFY(Log.Events.isEmpty());
  Edit.BeginUpdate();
  Edit.BeginUpdate();
  Edit.setText("3");  // dropped, not postponed
  Edit.EndUpdate();
  QVERIFY(Log.Events.isEmpty());
  Edit.EndUpdate();
  QCOMPARE(Log.Events, QStringList({"Verify"}));
  QCOMPARE(Edit.UpdateCount(), 0);
}

void TNumEditsTest::ArrowsRaiseCountNeverChange() {
  QWidget Form;
  TUpDownEdit Edit(&Form);
  Edit.UpDown()->SetMax(32767);
  Edit.SetValue(7);
  Form.show();
  TEventLog Log(Edit);

  QTest::keyClick(&Edit, Qt::Key_Up);
  QCOMPARE(Edit.text(), QString("8"));
  QVERIFY(Log.Events.contains("Count"));
  QVERIFY(!Log.Events.contains("Change"));

  Log.Events.clear();
  QTest::mouseClick(Edit.UpDown()->DownButton(), Qt::LeftButton);
  QTest::mouseClick(Edit.UpDown()->DownButton(), Qt::LeftButton);
  QCOMPARE(Edit.text(), QString("6"));
  QVERIFY(Log.Events.contains("Count"));
  QVERIFY(!Log.Events.contains("Change"));
  QCOMPARE(Edit.UpdateCount(), 0);

  // A typed number is where the next step starts from.
  Edit.setText("100");
  QTest::keyClick(&Edit, Qt::Key_Up);
  QCOMPARE(Edit.text(), QString("101"));
  QCOMPARE(Edit.Value(), 101);

  Edit.UpDown()->SetArrowKeys(false);
  QTest::keyClick(&Edit, Qt::Key_Up);
  QCOMPARE(Edit.text(), QString("101"));
}

void TNumEditsTest::ArrowsClampAndWrap() {
  QWidget Form;
  TUpDownEdit Edit(&Form);
  Edit.UpDown()->SetMin(0);
  Edit.UpDown()->SetMax(3);
  Edit.UpDown()->SetIncrement(2);
  Edit.SetValue(2);
  Edit.UpDown()->Step(+1);
  QCOMPARE(Edit.text(), QString("3"));
  Edit.UpDown()->Step(+1);
  QCOMPARE(Edit.text(), QString("3"));
  Edit.UpDown()->SetWrap(true);
  Edit.UpDown()->Step(+1);
  QCOMPARE(Edit.text(), QString("0"));
  Edit.UpDown()->Step(-1);
  QCOMPARE(Edit.text(), QString("3"));
  QCOMPARE(Edit.UpdateCount(), 0);
}

void TNumEditsTest::WheelAndPageKeysStepWithinRange_data() {
  QTest::addColumn<int>("Start");
  QTest::addColumn<QString>("Input");  // "wheel:" and eighths of a degree, or a key
  QTest::addColumn<int>("Expected");
  QTest::newRow("one notch up") << 5 << "wheel:120" << 6;
  QTest::newRow("two notches down") << 5 << "wheel:-240" << 3;
  QTest::newRow("half a notch waits") << 5 << "wheel:60" << 5;
  QTest::newRow("two halves make a step") << 5 << "wheel:60,60" << 6;
  QTest::newRow("wheel stops at the top") << 20 << "wheel:360" << 20;
  QTest::newRow("page up") << 5 << "PageUp" << 15;
  QTest::newRow("page up stops at the top") << 15 << "PageUp" << 20;
  QTest::newRow("page down stops at the bottom") << 5 << "PageDown" << 0;
}

// Range 0 to 20: the wheel over the edit or its arrows and the page keys move the
// position as the arrows do, never past the range.
void TNumEditsTest::WheelAndPageKeysStepWithinRange() {
  QFETCH(int, Start);
  QFETCH(QString, Input);
  QFETCH(int, Expected);
  const bool ByWheel = Input.startsWith("wheel:");
  for (int Target = 0; Target < (ByWheel ? 2 : 1); ++Target) {
    QWidget Form;
    TUpDownEdit Edit(&Form);
    Edit.UpDown()->SetMax(20);
    Edit.SetValue(Start);
    Form.show();
    QSignalSpy Changes(&Edit, &TUpDownEdit::Change);
    // The arrows pass the wheel on to their up-down.
    QWidget* Under = Target == 0 ? static_cast<QWidget*>(&Edit) : Edit.UpDown();
    if (ByWheel) {
      for (const QString& Delta : Input.mid(6).split(u',')) {
        const QPointF At = QPointF(Under->rect().center());
        QWheelEvent Wheel(At, Under->mapToGlobal(At), QPoint(), QPoint(0, Delta.toInt()), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Under, &Wheel);
      }
    } else {
      QTest::keyClick(&Edit, Input == "PageUp" ? Qt::Key_PageUp : Qt::Key_PageDown);
    }
    QCOMPARE(Edit.text(), QString::number(Expected));
    QCOMPARE(Edit.Value(), Expected);
    QCOMPARE(Changes.count(), 0);  // steps count, they are no edits
    QCOMPARE(Edit.UpdateCount(), 0);
  }
}

void TNumEditsTest::VerifyCorrectsTextAndPosition() {
  QWidget Form;
  TUpDownEdit Edit(&Form);
  Edit.UpDown()->SetMax(50);
  int Calls = 0;
  // Keeps the text a number: anything else is replaced by the position.
  connect(&Edit, &TUpDownEdit::Verify, &Edit, [&Calls](QString& Text, int& Position, TNumericallyRelationship Relation) {
    ++Calls;
    if (Relation == nrNonNumber) Text = QString::number(Position);
    if (Relation == nrDisaccord) Position = qMin(Text.toInt(), 50), Text = QString::number(Position);
  });
  Edit.SetValue(20);
  Calls = 0;
  Edit.setText("x");
  QCOMPARE(Edit.text(), QString("20"));
  QCOMPARE(Edit.UpdateCount(), 0);
  QVERIFY(Calls >= 2);
  Edit.setText("70");
  QCOMPARE(Edit.text(), QString("50"));
  QCOMPARE(Edit.UpDown()->Position(), 50);
  QCOMPARE(Edit.UpdateCount(), 0);
}

void TNumEditsTest::CanChangeRefusal() {
  QWidget Form;
  TUpDownEdit Edit(&Form);
  Edit.SetValue(5);
  bool Allow = false;
  connect(Edit.UpDown(), &TInternalUpDown::Changing, &Edit, [&Allow](bool& AllowChange) { AllowChange = Allow; });
  Edit.UpDown()->Step(+1);
  QCOMPARE(Edit.text(), QString("5"));
  QCOMPARE(Edit.UpdateCount(), 0);
  Allow = true;
  Edit.UpDown()->Step(+1);
  QCOMPARE(Edit.text(), QString("6"));
  QCOMPARE(Edit.UpdateCount(), 0);
}

void TNumEditsTest::UpDownPlacementAndState() {
  QWidget Form;
  Form.resize(400, 200);
  TUpDownEdit Edit(&Form);
  Edit.setGeometry(192, 95, 60, 21);
  Form.show();
  TInternalUpDown* UpDown = Edit.UpDown();
  QCOMPARE(UpDown->parentWidget(), &Form);
  QCOMPARE(UpDown->geometry(), QRect(252, 95, 16, 21));
  Edit.setGeometry(10, 20, 100, 30);
  QCOMPARE(UpDown->geometry(), QRect(110, 20, 16, 30));
  Edit.setEnabled(false);
  QVERIFY(!UpDown->isEnabled());
  Edit.setEnabled(true);
  QVERIFY(UpDown->isEnabled());
  Edit.hide();
  QVERIFY(UpDown->isHidden());
  Edit.show();
  QVERIFY(UpDown->isVisible());
  Edit.setLayoutDirection(Qt::RightToLeft);
  QCOMPARE(UpDown->layoutDirection(), Qt::RightToLeft);

  // An edit made without a parent takes its up-down along when it gets one, and the
  // up-down writes its position into the text on attaching.
  auto* Late = new TUpDownEdit;
  Late->UpDown()->SetPosition(3);
  Late->setParent(&Form);
  QCOMPARE(Late->UpDown()->parentWidget(), &Form);
  QCOMPARE(Late->text(), QString("3"));
}

void TNumEditsTest::ValueWithoutUpDown() {
  QWidget Form;
  TUpDownEdit Edit(&Form);
  delete Edit.UpDown();
  QVERIFY(!Edit.UpDown());
  Edit.setText(" 0x10");
  QCOMPARE(Edit.Value(), 16);
  QCOMPARE(Edit.Relation(), nrDisaccord);
  Edit.setText("abc");
  QVERIFY_THROWS_EXCEPTION(EBriskoError, Edit.Value());
  Edit.SetValue(4);  // no up-down: only the text
  QCOMPARE(Edit.text(), QString("4"));
}

QTEST_MAIN(TNumEditsTest)
#include "tst_numedits.moc"
