#pragma once
// What the item editor and the options dialog share: OK and Cancel, filled when
// shown, written back when closed, shown modally over a window that must not come to
// own them, and an OK that, while disabled, has the fields that keep it so marked.
// Each opens at the size its fields want, as far as the screen allows: on a small
// screen (or a large scale factor) the fields scroll and OK and Cancel stay in view.
#include <QDialog>
#include <QList>
#include <QPointer>

class QScreen;

class QLineEdit;
class QPushButton;
class QScrollArea;
class TUpDownEdit;

class TModalForm : public QDialog {
  Q_OBJECT

public:
  explicit TModalForm(QWidget* Parent = nullptr);

  void done(int Result) override;

  QPushButton* OKButton;
  QPushButton* CancelButton;

protected:
  // One condition of the OK rule: a field, and what is wrong with it now (empty: nothing).
  struct TFieldCheck {
    QLineEdit* Field;
    QString Fault;
  };

  // The form's fields, laid out by the form; OK and Cancel sit below it, at the right.
  QWidget* Body;

  // The size the form opens at: what Body and the buttons want, within the room
  // that Screen leaves for a window and its frame.
  QSize FittingSize(const QScreen* Screen) const;

  // Shows the form modally over Parent, centred on it, and answers whether it was
  // confirmed. The form belongs to whoever made it: Parent is its parent only while it
  // is shown, so that Parent never deletes it.
  bool ExecOver(QWidget* Parent);

  // Applies the OK rule: OK is enabled exactly when no field has a fault; every field
  // with a fault is marked with it (controls/FieldFault), the others are unmarked.
  void ApplyFieldChecks(const QList<TFieldCheck>& Checks);

  void showEvent(QShowEvent* Event) override;
  virtual void FormShow() = 0;
  // Runs on every close, before the form hides; writes back only when result() is Accepted.
  virtual void FormClose() = 0;

private:
  QScrollArea* FScroller;
  QPointer<QLineEdit> FFirstFault;  // where the focus goes when the form opens with OK disabled
};

// The width an edit needs to show a typical path whole: about 60 characters.
int TypicalPathWidth(const QWidget* Edit);

// The fault of an up-down edit whose text is no whole number within its range.
QString UpDownFault(TUpDownEdit* Edit);
