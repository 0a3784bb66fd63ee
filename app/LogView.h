#pragma once
// The log view: result lines, read-only, one per row of fixed height. It paints the
// rows on screen and nothing else, so appending costs the same whether the view holds
// ten lines or ten million; a text view lays out and shapes every line it holds.
// Text is selected by character (mouse, Shift with the arrow keys), a word by a
// double click, a line by a triple click, everything with Ctrl+A, and copied with
// Ctrl+C or the context menu. A line whose code tells of a failure is drawn in the
// error colour with a warning icon, its reason as tool tip; F8 and Shift+F8 go to
// the next and previous failure, Ctrl+F opens a find bar (F3, Shift+F3).
#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPixmap>
#include <compare>
#include <string>
#include <string_view>
#include <vector>

#include "app/LogLines.h"

class QAction;
class QLabel;
class QLineEdit;

class TLogView : public QAbstractScrollArea {
  Q_OBJECT
public:
  explicit TLogView(QWidget* Parent = nullptr);

  // Lines are bytes as the worker wrote them; shown with the byte-keeping conversion.
  void AppendLines(const std::vector<std::string>& Lines);
  void clear();
  const TLogLines& Lines() const { return FLines; }
  // The selected text, lines joined with "\n", as Ctrl+C puts it on the clipboard.
  QString SelectedText() const;
  void selectAll();
  void copy() const;
  bool HasSelection() const { return FAnchor.Line >= 0 && FAnchor != FCursor; }
  // The line the cursor is on; -1 before the user or a search put it anywhere.
  qint64 CurrentLine() const { return FCursor.Line; }

  // Selects the next (or previous) failed line after (before) the cursor, wrapping
  // around, and scrolls to it; false, with a beep, when there is none.
  bool NextFailure(bool Forward = true);
  // Opens the find bar with its text selected.
  void ShowFindBar();
  // Selects the next (previous) occurrence of the find bar's text, case ignored,
  // wrapping around; false when there is none (the bar says so).
  bool FindNext(bool Forward = true);
  // The reason of a line's code, as its tool tip shows it; empty for a line done.
  static QString LineReason(std::string_view Line);
  // The colour failed lines are drawn in, suited to the palette's background.
  static QColor ErrorColour(const QPalette& Palette);

  QWidget* FindBar = nullptr;
  QLineEdit* FindEdit = nullptr;
  QAction *NextFailureAction = nullptr, *PreviousFailureAction = nullptr;
  QAction *FindAction = nullptr, *FindNextAction = nullptr, *FindPreviousAction = nullptr;

protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  bool viewportEvent(QEvent* Event) override;

private:
  // A place in the text: a line and a UTF-16 position in its shown text.
  struct TPos {
    qint64 Line = -1;
    int Column = 0;
    auto operator<=>(const TPos&) const = default;
  };
  TLogLines FLines;
  // The selection runs from the anchor to the cursor; Line -1: no cursor at all.
  TPos FAnchor, FCursor;
  int FWidestPainted = 0;
  QElapsedTimer FDoubleClicked;  // a press soon after a double click selects the line
  qint64 FDoubleClickedLine = -1;
  QPixmap FWarningIcon;
  QLabel* FFindStatus = nullptr;
  QAction* FCopyAction = nullptr;
  QAction* FSelectAllAction = nullptr;

  void CreateActions();
  void CreateFindBar();
  QString LineText(qint64 Line) const;
  int LineLength(qint64 Line) const { return int(LineText(Line).size()); }
  int LineHeight() const;
  int TextLeft() const;
  qint64 VisibleLines() const;
  qint64 LineAt(int Y) const;
  TPos PosAt(const QPoint& Point) const;
  void UpdateScrollBars();
  void Select(TPos Anchor, TPos Cursor);
  void MoveCursor(TPos Cursor, bool Extend);
  void SelectLine(qint64 Line);
  void EnsureVisible(TPos Pos);
  bool AtBottom() const;
  bool IsFailed(qint64 Line) const;
  void LayoutFindBar();
};
