#pragma once
// The log view: result lines, read-only, one per row of fixed height. It paints the
// rows on screen and nothing else, so appending costs the same whether the view holds
// ten lines or ten million; a text view lays out and shapes every line it holds.
// Whole lines are selected (mouse, Shift with the arrow keys, Ctrl+A) and copied
// (Ctrl+C or the context menu) as text, one line per line.
#include <QAbstractScrollArea>
#include <string>
#include <string_view>
#include <vector>

#include "app/LogLines.h"

class QAction;

class TLogView : public QAbstractScrollArea {
  Q_OBJECT
public:
  explicit TLogView(QWidget* Parent = nullptr);

  // Lines are bytes as the worker wrote them; shown with the byte-keeping conversion.
  void AppendLines(const std::vector<std::string>& Lines);
  void clear();
  const TLogLines& Lines() const { return FLines; }
  // The selected lines, joined with "\n", as Ctrl+C puts them on the clipboard.
  QString SelectedText() const;
  void selectAll();
  void copy() const;
  bool HasSelection() const { return FAnchor >= 0; }

protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;
  void changeEvent(QEvent* Event) override;

private:
  TLogLines FLines;
  // The selection runs from the anchor line to the current line, both included;
  // FAnchor -1: nothing selected.
  qint64 FAnchor = -1;
  qint64 FCurrent = -1;
  int FWidestPainted = 0;
  QAction* FCopyAction = nullptr;
  QAction* FSelectAllAction = nullptr;

  int LineHeight() const;
  qint64 VisibleLines() const;
  qint64 LineAt(int Y) const;
  void UpdateScrollBars();
  void MoveCurrent(qint64 Line, bool Extend);
  void EnsureVisible(qint64 Line);
  bool AtBottom() const;
};
