#include "dialogs/ModalForm.h"

#include <QShowEvent>

bool TModalForm::ExecOver(QWidget* Parent) {
  QWidget* const Owner = parentWidget();
  if (Parent && Parent != Owner) setParent(Parent, windowFlags());
  const bool Confirmed = exec() == QDialog::Accepted;
  if (parentWidget() != Owner) setParent(Owner, windowFlags());
  return Confirmed;
}

void TModalForm::showEvent(QShowEvent* Event) {
  if (!Event->spontaneous()) FormShow();
  QDialog::showEvent(Event);
}

void TModalForm::done(int Result) {
  setResult(Result);
  FormClose();
  QDialog::done(Result);
}
