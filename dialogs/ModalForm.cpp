#include "dialogs/ModalForm.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>

TModalForm::TModalForm(QWidget* Parent) : QDialog(Parent) {
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  CancelButton = new QPushButton(QString::fromUtf8("キャンセル"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  CancelButton->setAutoDefault(false);
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

void TModalForm::showEvent(QShowEvent* Event) {
  if (!Event->spontaneous()) FormShow();
  QDialog::showEvent(Event);
}

void TModalForm::done(int Result) {
  setResult(Result);
  FormClose();
  QDialog::done(Result);
}
