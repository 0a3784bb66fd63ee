#include "dialogs/ModalForm.h"

#include "controls/FieldFault.h"
#include "controls/NumEdits.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

// Every push button of the form is an auto-default one, as in any dialog: Enter
// presses the focused button, and OK, the default, wherever else the focus is.
TModalForm::TModalForm(QWidget* Parent) : QDialog(Parent) {
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  CancelButton = new QPushButton(tr("キャンセル"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

QBoxLayout* TModalForm::NewButtonRow() {
  auto* Row = new QHBoxLayout;
  Row->addStretch(1);
  Row->addWidget(OKButton);
  Row->addWidget(CancelButton);
  return Row;
}

bool TModalForm::ExecOver(QWidget* Parent) {
  QWidget* const Owner = parentWidget();
  if (Parent && Parent != Owner) setParent(Parent, windowFlags());
  const bool Confirmed = exec() == QDialog::Accepted;
  if (parentWidget() != Owner) setParent(Owner, windowFlags());
  return Confirmed;
}

void TModalForm::ApplyFieldChecks(const QList<TFieldCheck>& Checks) {
  FFirstFault = nullptr;
  for (const TFieldCheck& Check : Checks) {
    SetFieldFault(Check.Field, Check.Fault);
    if (!Check.Fault.isEmpty() && !FFirstFault) FFirstFault = Check.Field;
  }
  OKButton->setEnabled(!FFirstFault);
}

// Every showing starts on OK, or, while OK is disabled, in the first field that keeps
// it so: a new item opens ready for its folder to be typed.
void TModalForm::showEvent(QShowEvent* Event) {
  if (!Event->spontaneous()) {
    FormShow();
    if (OKButton->isEnabled() || !FFirstFault)
      OKButton->setFocus();
    else
      FFirstFault->setFocus();
  }
  QDialog::showEvent(Event);
}

void TModalForm::done(int Result) {
  setResult(Result);
  FormClose();
  QDialog::done(Result);
}

QString UpDownFault(TUpDownEdit* Edit) {
  if (Edit->Relation() == nrAccord) return {};
  const TInternalUpDown* UpDown = Edit->UpDown();
  return TModalForm::tr("%1 から %2 までの整数を指定してください。").arg(UpDown->Min()).arg(UpDown->Max());
}
