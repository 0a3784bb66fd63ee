#pragma once
// A layout item for an edit that carries a sibling control on its right (a "..."
// button, an up-down). The sibling is not in any layout: the edit places it after
// every geometry change. This item makes the layout reserve the sibling's room, so
// an edit of ours can sit in a QBoxLayout or QGridLayout like any other widget.
#include <QPointer>
#include <QWidgetItem>
#include <functional>

class QEvent;

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

// Keeps the sibling in step with its edit: on the edit's parent, with the edit's
// enabled state, layout direction and visibility, and placed anew whenever the edit
// moves or changes size. The edit forwards its events and its setVisible calls.
class TSideControl {
public:
  // Place answers the sibling's geometry in the parent, given the edit's.
  TSideControl(QWidget* Edit, std::function<QRect(const QRect&)> Place);

  void SetSide(QWidget* Side) { FSide = Side; }
  // Moves the sibling to the edit's (new) parent and brings it in step.
  void Adopt();
  void Place();
  // From the edit's event(): follows changes of state and geometry.
  void Follow(const QEvent* Event);
  // From the edit's setVisible, after the edit's own.
  void SetVisible(bool Visible);

private:
  QWidget* FEdit;
  QPointer<QWidget> FSide;
  std::function<QRect(const QRect&)> FPlace;
};
