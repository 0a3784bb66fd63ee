#pragma once
// A layout item for an edit that carries a sibling control on its right (a "..."
// button, an up-down). The sibling is not in any layout: the edit places it after
// every geometry change. This item makes the layout reserve the sibling's room, so
// an edit of ours can sit in a QBoxLayout or QGridLayout like any other widget.
#include <QWidgetItem>
#include <functional>

class TSideItem : public QWidgetItem {
public:
  // SideWidth answers the room the sibling takes right of the edit, given the edit's height.
  TSideItem(QWidget* Edit, std::function<int(int)> SideWidth);

  QSize sizeHint() const override;
  QSize minimumSize() const override;
  QSize maximumSize() const override;
  void setGeometry(const QRect& Rect) override;
  QRect geometry() const override;

private:
  std::function<int(int)> FSideWidth;
  int Extra(int EditHeight) const;
};
