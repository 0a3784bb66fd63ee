#pragma once
// Numeric edits: an edit that can restrict typed and pasted characters to classes of
// number characters, and an edit with an up-down control that keeps the number in its
// text and the up-down's position in step.
//
// Qt has no up-down control that takes an edit as its buddy, so TInternalUpDown is our
// own: two arrow buttons that write the buddy's text on position changes, take the
// position from a valid text when read, write the text on attaching, and ask CanChange
// before every change. Like the edit's "..." button in RefCtrls, the up-down is a sibling
// of the edit on the same parent, placed flush against the edit's right edge; use
// NewLayoutItem() to put the pair into a layout.
#include <QClipboard>
#include <QFlags>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include "controls/SideItem.h"

class QLayoutItem;
class QToolButton;
class QWheelEvent;
class TUpDownEdit;

enum TFilterChar : unsigned {
  fcAllowDecimal = 0x01,
  fcAllowPositive = 0x02,
  fcAllowNegative = 0x04,
  fcAllowHexdigit = 0x08,
  fcAllowReal = 0x10,
  fcAllowSeparater = 0x20,
  fcRejectProcess = 0x40,
};
Q_DECLARE_FLAGS(TFilterChars, TFilterChar)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFilterChars)

enum TNumericallyRelationship { nrAccord, nrDisaccord, nrNonNumber };

bool IsFilterChar(QChar Ch, TFilterChars Filters);
// Keeps the allowed characters of Source in Dest, in order; answers whether any was dropped.
bool FilterText(const QString& Source, QString& Dest, TFilterChars Filters);
// A number is a 32-bit signed integer: leading blanks, an optional sign, then decimal
// digits or a hexadecimal number after "$" or "0x"; nothing may follow.
bool TextToInt32(const QString& Text, int& Number);
TNumericallyRelationship TextRelation(const QString& Text, int Position);

class TCustomNumEdit : public QLineEdit {
  Q_OBJECT
public:
  explicit TCustomNumEdit(QWidget* Parent = nullptr);

  TFilterChars Filters() const { return FFilters; }
  void SetFilters(TFilterChars Filters) { FFilters = Filters; }

  // Pastes Text as the clipboard paste does: filtered, with a beep for dropped characters.
  void PasteText(const QString& Text);
  // The paste of every path (keys, context menu, middle click) comes here.
  void Paste(QClipboard::Mode Mode = QClipboard::Clipboard);

protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;
  void inputMethodEvent(QInputMethodEvent* Event) override;

private:
  TFilterChars FFilters;
  bool RejectsTyped(const QKeyEvent* Event) const;
};

class TInternalUpDown : public QWidget {
  Q_OBJECT
public:
  explicit TInternalUpDown(TUpDownEdit* Owner);

  int Min() const { return FMin; }
  int Max() const { return FMax; }
  void SetMin(int Value) { FMin = Value; }
  void SetMax(int Value) { FMax = Value; }
  int Increment() const { return FIncrement; }
  void SetIncrement(int Value) { FIncrement = Value; }
  bool Wrap() const { return FWrap; }
  void SetWrap(bool Value) { FWrap = Value; }
  bool ArrowKeys() const { return FArrowKeys; }
  void SetArrowKeys(bool Value) { FArrowKeys = Value; }

  // Reading takes the buddy's text as the position when it is a whole decimal number
  // within Min to Max; otherwise the position keeps its previous value.
  int Position();
  // Writes the position (asking CanChange when it differs), then raises the edit's
  // count event and closes the edit's update, also when nothing changed.
  void SetPosition(int Value);

  // Steps increments up (positive) or down (negative), as an arrow click does one;
  // EndStep is the arrow's release. Past the range the position stops at its end, or
  // wraps around to the other end with Wrap.
  void Step(int Steps);
  void EndStep();
  // The mouse wheel over the edit or the arrows: one step per notch.
  void Wheel(QWheelEvent* Event);

  bool IsAttached() const { return FAttached; }
  void Attach();
  void Detach();

  QToolButton* UpButton() const { return FUpButton; }
  QToolButton* DownButton() const { return FDownButton; }
  QSize sizeHint() const override;

signals:
  // Asked before a change; a handler may refuse it.
  void Changing(bool& AllowChange);
  void Click(int Direction);

private:
  TUpDownEdit* FOwner;
  QToolButton* FUpButton;
  QToolButton* FDownButton;
  int FMin = 0, FMax = 100, FIncrement = 1, FPosition = 0;
  int FWheelDelta = 0;  // a touchpad sends parts of a notch
  bool FWrap = false, FArrowKeys = true, FAttached = false;

  void wheelEvent(QWheelEvent* Event) override;
  bool CanChange();
  bool WritePosition(int Value);
  void WriteBuddyText();
  void Notify();
};

class TUpDownEdit : public TCustomNumEdit {
  Q_OBJECT
public:
  explicit TUpDownEdit(QWidget* Parent = nullptr);
  ~TUpDownEdit() override;

  TInternalUpDown* UpDown() const { return FUpDown; }
  int UpdateCount() const { return FUpdateCount; }
  void BeginUpdate();
  void EndUpdate();

  TNumericallyRelationship Relation();
  int Value();  // raises EBriskoError when there is no up-down and the text is no number
  void SetValue(int Value);

  // A layout item that keeps room for the up-down right of the edit.
  QLayoutItem* NewLayoutItem();

signals:
  void Change();
  void Count(TInternalUpDown* Sender);
  // A handler may correct text and position; called again with its own results it
  // must return them unchanged.
  void Verify(QString& AText, int& APosition, TNumericallyRelationship Relation);

protected:
  virtual void DoVerify();
  bool event(QEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void keyReleaseEvent(QKeyEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;

public:
  void setVisible(bool Visible) override;

private:
  friend class TInternalUpDown;
  QPointer<TInternalUpDown> FUpDown;
  int FUpdateCount = 0;
  TSideControl FSide;

  void TextChanged();
  void AdoptParent();
};
