#include "controls/FieldFault.h"

#include <QAction>
#include <QLineEdit>
#include <QStyle>

namespace {

const char* const FaultProperty = "FieldFault";

QAction* MarkAction(QLineEdit* Field) {
  return Field->findChild<QAction*>(QStringLiteral("FieldFaultMark"), Qt::FindDirectChildrenOnly);
}

}  // namespace

void SetFieldFault(QLineEdit* Field, const QString& Fault) {
  if (FieldFault(Field) == Fault) return;
  Field->setProperty(FaultProperty, Fault);
  Field->setToolTip(Fault);
  Field->setAccessibleDescription(Fault);
  QAction* Mark = MarkAction(Field);
  if (Fault.isEmpty()) {
    delete Mark;  // the field gives its icon's room back to the text
    return;
  }
  if (!Mark) {
    Mark = new QAction(Field->style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, Field), QString(), Field);
    Mark->setObjectName(QStringLiteral("FieldFaultMark"));
    Field->addAction(Mark, QLineEdit::TrailingPosition);
  }
  Mark->setToolTip(Fault);
}

QString FieldFault(const QLineEdit* Field) { return Field->property(FaultProperty).toString(); }
