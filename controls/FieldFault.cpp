#include "controls/FieldFault.h"

#include <QAction>
#include <QLineEdit>
#include <QStyle>
#include <QToolTip>

namespace {

const char* const FaultProperty = "FieldFault";

// A narrow field (a day count) would hide its own number behind the icon: it gets the
// tint alone.
bool HasRoomForIcon(const QLineEdit* Field) {
  constexpr int TextChars = 8;
  const int Icon = Field->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, Field);
  return Field->width() >= 2 * Icon + TextChars * Field->fontMetrics().averageCharWidth();
}

// The field's base blended a fifth of the way towards red: readable in light and dark themes.
QPalette Tinted(QPalette Palette) {
  for (QPalette::ColorGroup Group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const QColor Base = Palette.color(Group, QPalette::Base);
    const QColor Tint(qRound(Base.red() * 0.8 + 255 * 0.2), qRound(Base.green() * 0.8), qRound(Base.blue() * 0.8));
    Palette.setColor(Group, QPalette::Base, Tint);
  }
  return Palette;
}

}  // namespace

void SetFieldFault(QLineEdit* Field, const QString& Fault) {
  const QString Old = FieldFault(Field);
  if (Old == Fault) return;
  const bool WasMarked = !Old.isEmpty();
  Field->setProperty(FaultProperty, Fault);
  Field->setToolTip(Fault);
  Field->setAccessibleDescription(Fault);
  auto* Icon = Field->findChild<QAction*>(QStringLiteral("FieldFaultIcon"), Qt::FindDirectChildrenOnly);
  if (WasMarked && QToolTip::isVisible() && QToolTip::text() == Old) QToolTip::hideText();  // no stale reason
  if (Fault.isEmpty()) {
    delete Icon;  // the field gives the icon's room back to its text
    Field->setPalette(QPalette());
    return;
  }
  if (!WasMarked) Field->setPalette(Tinted(Field->palette()));
  if (!Icon && HasRoomForIcon(Field)) {
    Icon = new QAction(Field->style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, Field), QString(), Field);
    Icon->setObjectName(QStringLiteral("FieldFaultIcon"));
    Field->addAction(Icon, QLineEdit::TrailingPosition);
  }
  if (Icon) Icon->setToolTip(Fault);
}

QString FieldFault(const QLineEdit* Field) { return Field->property(FaultProperty).toString(); }
