#pragma once
// What the item editor and the options dialog share: OK and Cancel, filled when
// shown, written back when closed, and shown modally over a window that must not
// come to own them.
#include <QDialog>

class QBoxLayout;
class QPushButton;

class TModalForm : public QDialog {
public:
  explicit TModalForm(QWidget* Parent = nullptr);

  void done(int Result) override;

  QPushButton* OKButton;
  QPushButton* CancelButton;

protected:
  // The row of OK and Cancel at the bottom right, for the form's own layout.
  QBoxLayout* NewButtonRow();

  // Shows the form modally over Parent, centred on it, and answers whether it was
  // confirmed. The form belongs to whoever made it: Parent is its parent only while it
  // is shown, so that Parent never deletes it.
  bool ExecOver(QWidget* Parent);

  void showEvent(QShowEvent* Event) override;
  virtual void FormShow() = 0;
  // Runs on every close, before the form hides; writes back only when result() is Accepted.
  virtual void FormClose() = 0;
};
