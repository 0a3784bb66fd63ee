#include "controls/SideItem.h"

#include <QWidget>

TSideItem::TSideItem(QWidget* Edit, std::function<int(int)> SideWidth)
    : QWidgetItem(Edit), FSideWidth(std::move(SideWidth)) {}

int TSideItem::Extra(int EditHeight) const {
  return widget()->isHidden() ? 0 : FSideWidth(EditHeight);
}

QSize TSideItem::sizeHint() const {
  QSize Size = QWidgetItem::sizeHint();
  return Size + QSize(Extra(Size.height()), 0);
}

QSize TSideItem::minimumSize() const {
  QSize Size = QWidgetItem::minimumSize();
  return Size + QSize(Extra(QWidgetItem::sizeHint().height()), 0);
}

QSize TSideItem::maximumSize() const {
  QSize Size = QWidgetItem::maximumSize();
  const int Width = Size.width();
  if (Width < QWIDGETSIZE_MAX) Size.setWidth(qMin(QWIDGETSIZE_MAX, Width + Extra(QWidgetItem::sizeHint().height())));
  return Size;
}

void TSideItem::setGeometry(const QRect& Rect) {
  const int EditHeight = qMin(Rect.height(), QWidgetItem::maximumSize().height());
  QRect EditRect = Rect;
  EditRect.setWidth(qMax(0, Rect.width() - Extra(EditHeight)));
  QWidgetItem::setGeometry(EditRect);
}

QRect TSideItem::geometry() const {
  QRect Rect = QWidgetItem::geometry();
  Rect.setWidth(Rect.width() + Extra(Rect.height()));
  return Rect;
}
