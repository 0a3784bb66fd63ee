#include "controls/SideItem.h"

#include <QEvent>
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

// ---------------------------------------------------------------------------
// TSideControl

TSideControl::TSideControl(QWidget* Edit, std::function<QRect(const QRect&)> Place)
    : FEdit(Edit), FPlace(std::move(Place)) {}

void TSideControl::Adopt() {
  if (!FSide) return;
  FSide->setParent(FEdit->parentWidget());
  FSide->setEnabled(FEdit->isEnabled());
  FSide->setLayoutDirection(FEdit->layoutDirection());
  Place();
  // Without a parent the sibling would show as a window of its own.
  if (!FEdit->isHidden() && FEdit->parentWidget()) FSide->show();
}

void TSideControl::Place() {
  if (FSide) FSide->setGeometry(FPlace(FEdit->geometry()));
}

void TSideControl::Follow(const QEvent* Event) {
  if (!FSide) return;
  switch (Event->type()) {
    case QEvent::EnabledChange:
      FSide->setEnabled(FEdit->isEnabled());
      break;
    case QEvent::LayoutDirectionChange:
      FSide->setLayoutDirection(FEdit->layoutDirection());
      break;
    case QEvent::Move:
    case QEvent::Resize:
      Place();
      break;
    default:
      break;
  }
}

void TSideControl::SetVisible(bool Visible) {
  if (FSide && FSide->parentWidget()) FSide->setVisible(Visible);
}
