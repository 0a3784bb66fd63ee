#include "controls/NumEdits.h"

#include "platform/BriskoError.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QMimeData>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <limits>

// ---------------------------------------------------------------------------
// Character classes and numbers

bool IsFilterChar(QChar Ch, TFilterChars Filters) {
  if (!Filters) return true;
  const char16_t Code = Ch.unicode();
  switch (Code) {
    case 1: case 3: case 8: case 22: case 24: case 26: case 27: return true;
    default: break;
  }
  if (Code >= '0' && Code <= '9') return true;
  if (Code > 0xFF) return false;
  if ((Filters & fcAllowPositive) && Code == '+') return true;
  if ((Filters & fcAllowNegative) && Code == '-') return true;
  if ((Filters & fcAllowHexdigit) &&
      (Code == '$' || Code == 'X' || Code == 'x' || (Code >= 'A' && Code <= 'F') || (Code >= 'a' && Code <= 'f')))
    return true;
  if ((Filters & fcAllowReal) && (Code == '.' || Code == 'E' || Code == 'e')) return true;
  if ((Filters & fcAllowSeparater) && Code == ',') return true;
  return false;
}

bool FilterText(const QString& Source, QString& Dest, TFilterChars Filters) {
  Dest.clear();
  bool Rejected = false;
  for (QChar Ch : Source) {
    if (IsFilterChar(Ch, Filters))
      Dest += Ch;
    else
      Rejected = true;
  }
  return Rejected;
}

static int DigitValue(QChar Ch, int Base) {
  const char16_t Code = Ch.unicode();
  int Digit = 99;
  if (Code >= '0' && Code <= '9') Digit = Code - '0';
  else if (Code >= 'a' && Code <= 'f') Digit = Code - 'a' + 10;
  else if (Code >= 'A' && Code <= 'F') Digit = Code - 'A' + 10;
  return Digit < Base ? Digit : -1;
}

bool TextToInt32(const QString& Text, int& Number) {
  qsizetype At = 0;
  const qsizetype Length = Text.size();
  while (At < Length && Text[At] == u' ') ++At;
  bool Negative = false;
  if (At < Length && (Text[At] == u'-' || Text[At] == u'+')) Negative = Text[At++] == u'-';
  int Base = 10;
  if (At < Length && Text[At] == u'$') {
    Base = 16;
    ++At;
  } else if (At + 1 < Length && Text[At] == u'0' && (Text[At + 1] == u'x' || Text[At + 1] == u'X')) {
    Base = 16;
    At += 2;
  }
  if (At == Length) return false;
  // Hexadecimal numbers may use all 32 bits ($FFFFFFFF is -1); decimal ones must fit.
  const qint64 Limit = Base == 16 ? 0xFFFFFFFFLL : (Negative ? 0x80000000LL : 0x7FFFFFFFLL);
  qint64 Value = 0;
  for (; At < Length; ++At) {
    const int Digit = DigitValue(Text[At], Base);
    if (Digit < 0) return false;
    Value = Value * Base + Digit;
    if (Value > Limit) return false;
  }
  if (Base == 16) Value = static_cast<qint32>(static_cast<quint32>(Value));
  Number = static_cast<int>(Negative ? -Value : Value);
  return true;
}

TNumericallyRelationship TextRelation(const QString& Text, int Position) {
  int Number = 0;
  if (!TextToInt32(Text, Number)) return nrNonNumber;
  return Number == Position ? nrAccord : nrDisaccord;
}

// ---------------------------------------------------------------------------
// TCustomNumEdit

TCustomNumEdit::TCustomNumEdit(QWidget* Parent) : QLineEdit(Parent) {}

// Only what a key would insert is filtered: the edit's own commands (Ctrl+A, Ctrl+C,
// Backspace, Delete, Esc and the rest) never reach the filter as characters.
bool TCustomNumEdit::RejectsTyped(const QKeyEvent* Event) const {
  if (!FFilters || (Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) return false;
  const QString Text = Event->text();
  for (QChar Ch : Text)
    if (Ch.isPrint() && !IsFilterChar(Ch, FFilters)) return true;
  return false;
}

void TCustomNumEdit::keyPressEvent(QKeyEvent* Event) {
  if (FFilters && (Event->matches(QKeySequence::Paste) ||
                   (Event->key() == Qt::Key_Insert && Event->modifiers() == Qt::ShiftModifier))) {
    if (!isReadOnly()) Paste();
    Event->accept();
    return;
  }
  if (RejectsTyped(Event)) {
    QApplication::beep();
    Event->accept();
    return;
  }
  QLineEdit::keyPressEvent(Event);
}

void TCustomNumEdit::inputMethodEvent(QInputMethodEvent* Event) {
  if (FFilters && !Event->commitString().isEmpty()) {
    QString Kept;
    if (FilterText(Event->commitString(), Kept, FFilters)) {
      QApplication::beep();
      QInputMethodEvent Filtered(Event->preeditString(), Event->attributes());
      Filtered.setCommitString(Kept, Event->replacementStart(), Event->replacementLength());
      QLineEdit::inputMethodEvent(&Filtered);
      return;
    }
  }
  QLineEdit::inputMethodEvent(Event);
}

void TCustomNumEdit::PasteText(const QString& Text) {
  if (!FFilters) {
    insert(Text);
    return;
  }
  QString Kept;
  if (FilterText(Text, Kept, FFilters)) {
    QApplication::beep();
    if (FFilters & fcRejectProcess) return;
  }
  insert(Kept);
}

void TCustomNumEdit::Paste(QClipboard::Mode Mode) {
  const QMimeData* Data = QApplication::clipboard()->mimeData(Mode);
  if (!Data || !Data->hasText()) return;
  PasteText(Data->text());
}

// Newer Qt names the standard actions; older Qt is known by the entry's (translated) text.
static QAction* StandardPasteAction(QMenu* Menu) {
  if (auto* Named = Menu->findChild<QAction*>(QStringLiteral("edit-paste"))) return Named;
  const QString Caption = QCoreApplication::translate("QLineEdit", "&Paste");
  for (QAction* Action : Menu->actions())
    if (Action->text().startsWith(Caption)) return Action;
  return nullptr;
}

void TCustomNumEdit::contextMenuEvent(QContextMenuEvent* Event) {
  QMenu* Menu = createStandardContextMenu();
  Menu->setAttribute(Qt::WA_DeleteOnClose);
  if (FFilters) {
    // The standard "Paste" entry pastes past any filter: send it through ours.
    if (QAction* PasteAction = StandardPasteAction(Menu)) {
      disconnect(PasteAction, &QAction::triggered, nullptr, nullptr);
      connect(PasteAction, &QAction::triggered, this, [this] { Paste(); });
    }
  }
  Menu->popup(Event->globalPos());
}

void TCustomNumEdit::mouseReleaseEvent(QMouseEvent* Event) {
  if (FFilters && Event->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection()) {
    if (!isReadOnly()) {
      setCursorPosition(cursorPositionAt(Event->position().toPoint()));
      Paste(QClipboard::Selection);
    }
    Event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(Event);
}

void TCustomNumEdit::dropEvent(QDropEvent* Event) {
  if (!FFilters || !Event->mimeData()->hasText()) {
    QLineEdit::dropEvent(Event);
    return;
  }
  QString Kept;
  if (FilterText(Event->mimeData()->text(), Kept, FFilters)) {
    QApplication::beep();
    if (FFilters & fcRejectProcess) {
      Event->ignore();
      return;
    }
  }
  QMimeData Filtered;
  Filtered.setText(Kept);
  QDropEvent Copy(Event->position(), Event->possibleActions(), &Filtered, Event->buttons(), Event->modifiers());
  QLineEdit::dropEvent(&Copy);
  Event->setAccepted(Copy.isAccepted());
  if (Copy.isAccepted()) Event->setDropAction(Copy.dropAction());
}

// ---------------------------------------------------------------------------
// TInternalUpDown

static QToolButton* NewArrowButton(QWidget* Parent, Qt::ArrowType Arrow) {
  auto* Button = new QToolButton(Parent);
  Button->setArrowType(Arrow);
  Button->setAutoRepeat(true);
  Button->setFocusPolicy(Qt::NoFocus);
  Button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  Button->setMinimumSize(1, 1);
  return Button;
}

TInternalUpDown::TInternalUpDown(TUpDownEdit* Owner)
    : QWidget(Owner->parentWidget()), FOwner(Owner) {
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);
  FUpButton = NewArrowButton(this, Qt::UpArrow);
  FDownButton = NewArrowButton(this, Qt::DownArrow);
  Layout->addWidget(FUpButton);
  Layout->addWidget(FDownButton);
  setFocusPolicy(Qt::NoFocus);
  // A step on every press and on every auto-repeat; the end notification on the release.
  connect(FUpButton, &QToolButton::pressed, this, [this] { Step(+1); });
  connect(FDownButton, &QToolButton::pressed, this, [this] { Step(-1); });
  for (QToolButton* Button : {FUpButton, FDownButton})
    connect(Button, &QToolButton::released, this, [this, Button] {
      if (!Button->isDown()) EndStep();
    });
  resize(16, 21);
}

QSize TInternalUpDown::sizeHint() const { return QSize(16, 21); }

bool TInternalUpDown::CanChange() {
  bool Allow = true;
  emit Changing(Allow);
  if (Allow && FOwner) FOwner->BeginUpdate();
  return Allow;
}

int TInternalUpDown::Position() {
  if (FAttached && FOwner) {
    bool Ok = false;
    const int Number = FOwner->text().trimmed().toInt(&Ok, 10);
    if (Ok && Number >= FMin && Number <= FMax) FPosition = Number;
  }
  return FPosition;
}

void TInternalUpDown::WriteBuddyText() {
  if (FAttached && FOwner) FOwner->setText(QString::number(FPosition));
}

// The control's own position write: clamped to the range, CanChange asked only for a
// different value, the buddy's text written while attached.
bool TInternalUpDown::WritePosition(int Value) {
  Value = qBound(qMin(FMin, FMax), Value, qMax(FMin, FMax));
  if (Value == FPosition) return false;
  if (!CanChange()) return false;
  FPosition = Value;
  WriteBuddyText();
  return true;
}

void TInternalUpDown::Notify() {
  if (!FOwner) return;
  emit FOwner->Count(this);
  FOwner->EndUpdate();
}

void TInternalUpDown::SetPosition(int Value) {
  WritePosition(Value);
  Notify();
}

void TInternalUpDown::Step(int Steps) {
  const qint64 Current = Position();
  qint64 Next = Current + qint64(Steps) * FIncrement;
  if (Next > FMax) Next = FWrap ? FMin : FMax;
  if (Next < FMin) Next = FWrap ? FMax : FMin;
  if (WritePosition(static_cast<int>(Next))) emit Click(Steps > 0 ? +1 : -1);
  Notify();
}

void TInternalUpDown::EndStep() { Notify(); }

void TInternalUpDown::Wheel(QWheelEvent* Event) {
  FWheelDelta += Event->angleDelta().y();
  const int Steps = FWheelDelta / QWheelEvent::DefaultDeltasPerStep;
  FWheelDelta -= Steps * QWheelEvent::DefaultDeltasPerStep;
  if (Steps != 0) Step(Steps);
  Event->accept();
}

void TInternalUpDown::wheelEvent(QWheelEvent* Event) { Wheel(Event); }

void TInternalUpDown::Attach() {
  FAttached = true;
  WriteBuddyText();
}

void TInternalUpDown::Detach() { FAttached = false; }

// ---------------------------------------------------------------------------
// TUpDownEdit

TUpDownEdit::TUpDownEdit(QWidget* Parent)
    : TCustomNumEdit(Parent), FSide(this, [this](const QRect& Edit) {
        return QRect(Edit.x() + Edit.width(), Edit.y(), FUpDown->width(), Edit.height());
      }) {
  setText(QStringLiteral("0"));
  FUpDown = new TInternalUpDown(this);
  FSide.SetSide(FUpDown);
  connect(this, &QLineEdit::textChanged, this, &TUpDownEdit::TextChanged);
  if (parentWidget()) AdoptParent();
}

TUpDownEdit::~TUpDownEdit() { delete FUpDown.data(); }

void TUpDownEdit::BeginUpdate() { ++FUpdateCount; }

void TUpDownEdit::EndUpdate() {
  if (FUpdateCount <= 0) return;
  if (--FUpdateCount == 0) DoVerify();
}

void TUpDownEdit::TextChanged() {
  if (FUpdateCount != 0) return;
  BeginUpdate();
  emit Change();
  EndUpdate();
}

TNumericallyRelationship TUpDownEdit::Relation() {
  const int Position = FUpDown ? FUpDown->Position() : 0;
  return TextRelation(text(), Position);
}

int TUpDownEdit::Value() {
  if (FUpDown) return FUpDown->Position();
  int Number = 0;
  if (!TextToInt32(text(), Number))
    throw EBriskoError(eiBadInteger, {text().toStdString()});
  return Number;
}

void TUpDownEdit::SetValue(int Value) {
  BeginUpdate();
  if (FUpDown) FUpDown->SetPosition(Value);
  setText(QString::number(Value));
  EndUpdate();
}

void TUpDownEdit::DoVerify() {
  if (!FUpDown || !isSignalConnected(QMetaMethod::fromSignal(&TUpDownEdit::Verify))) return;
  ++FUpdateCount;
  QString Text = text();
  int Position = FUpDown->Position();
  const TNumericallyRelationship Relationship = TextRelation(Text, Position);
  emit Verify(Text, Position, Relationship);
  if (FUpDown && (Text != text() || Position != FUpDown->Position())) {
    FUpDown->Detach();
    setText(Text);
    FUpDown->SetPosition(Position);
    if (FUpDown) FUpDown->Attach();
  }
  if (FUpdateCount > 0) --FUpdateCount;
}

QLayoutItem* TUpDownEdit::NewLayoutItem() {
  return new TSideItem(this, [this](int) { return FUpDown ? FUpDown->width() : 0; });
}

void TUpDownEdit::AdoptParent() {
  FSide.Adopt();
  if (FUpDown) FUpDown->Attach();
}

bool TUpDownEdit::event(QEvent* Event) {
  if (Event->type() == QEvent::ParentChange) AdoptParent();
  const bool Handled = TCustomNumEdit::event(Event);
  FSide.Follow(Event);
  return Handled;
}

void TUpDownEdit::setVisible(bool Visible) {
  TCustomNumEdit::setVisible(Visible);
  FSide.SetVisible(Visible);
}

// The steps a key takes the up-down: one for the arrows, a page of ten for PageUp
// and PageDown, as a spin box takes them.
static int KeySteps(const QKeyEvent* Event) {
  constexpr int PageSteps = 10;
  if (Event->modifiers() & ~Qt::KeypadModifier) return 0;
  switch (Event->key()) {
    case Qt::Key_Up: return +1;
    case Qt::Key_Down: return -1;
    case Qt::Key_PageUp: return +PageSteps;
    case Qt::Key_PageDown: return -PageSteps;
    default: return 0;
  }
}

void TUpDownEdit::keyPressEvent(QKeyEvent* Event) {
  if (const int Steps = KeySteps(Event); Steps && FUpDown && FUpDown->ArrowKeys()) {
    FUpDown->Step(Steps);
    Event->accept();
    return;
  }
  TCustomNumEdit::keyPressEvent(Event);
}

void TUpDownEdit::keyReleaseEvent(QKeyEvent* Event) {
  if (KeySteps(Event) && FUpDown && FUpDown->ArrowKeys() && !Event->isAutoRepeat()) {
    FUpDown->EndStep();
    Event->accept();
    return;
  }
  TCustomNumEdit::keyReleaseEvent(Event);
}

void TUpDownEdit::wheelEvent(QWheelEvent* Event) {
  if (FUpDown)
    FUpDown->Wheel(Event);
  else
    TCustomNumEdit::wheelEvent(Event);
}
