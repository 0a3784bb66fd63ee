#include "app/LogView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "controls/QtText.h"

namespace {
QString LineText(std::string_view Line) { return BytesToText(std::string(Line)); }
}  // namespace

TLogView::TLogView(QWidget* Parent) : QAbstractScrollArea(Parent) {
  setFocusPolicy(Qt::StrongFocus);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  viewport()->setCursor(Qt::IBeamCursor);
  FCopyAction = new QAction(tr("コピー(&C)"), this);
  FCopyAction->setShortcut(QKeySequence::Copy);
  connect(FCopyAction, &QAction::triggered, this, [this] { copy(); });
  FSelectAllAction = new QAction(tr("すべて選択(&A)"), this);
  FSelectAllAction->setShortcut(QKeySequence::SelectAll);
  connect(FSelectAllAction, &QAction::triggered, this, [this] { selectAll(); });
  UpdateScrollBars();
}

int TLogView::LineHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

qint64 TLogView::VisibleLines() const { return std::max(1, viewport()->height() / LineHeight()); }

qint64 TLogView::LineAt(int Y) const {
  const qint64 line = verticalScrollBar()->value() + (Y < 0 ? -1 : Y / LineHeight());
  return std::clamp<qint64>(line, 0, qint64(FLines.Size()) - 1);
}

bool TLogView::AtBottom() const { return verticalScrollBar()->value() >= verticalScrollBar()->maximum(); }

void TLogView::UpdateScrollBars() {
  const qint64 count = qint64(FLines.Size());
  const qint64 visible = VisibleLines();
  verticalScrollBar()->setRange(0, int(std::max<qint64>(0, count - visible)));
  verticalScrollBar()->setPageStep(int(visible));
  verticalScrollBar()->setSingleStep(1);
  // Only painted lines are measured; the longest line by bytes gives a first guess.
  const int guess = int(std::min<size_t>(FLines.LongestLine(), 4096)) * fontMetrics().averageCharWidth();
  const int widest = std::max(FWidestPainted, guess) + fontMetrics().averageCharWidth();
  horizontalScrollBar()->setRange(0, std::max(0, widest - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth() * 2);
}

void TLogView::AppendLines(const std::vector<std::string>& Lines) {
  if (Lines.empty()) return;
  const bool follow = AtBottom();
  for (const std::string& line : Lines) FLines.Append(line);
  UpdateScrollBars();
  if (follow) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  viewport()->update();
}

void TLogView::clear() {
  FLines.Clear();
  FAnchor = FCurrent = -1;
  FWidestPainted = 0;
  UpdateScrollBars();
  viewport()->update();
}

QString TLogView::SelectedText() const {
  if (FAnchor < 0) return {};
  QString text;
  const qint64 low = std::min(FAnchor, FCurrent), high = std::max(FAnchor, FCurrent);
  for (qint64 i = low; i <= high; ++i) {
    if (i > low) text += u'\n';
    text += LineText(FLines[size_t(i)]);
  }
  return text;
}

void TLogView::selectAll() {
  if (FLines.Empty()) return;
  FAnchor = 0;
  FCurrent = qint64(FLines.Size()) - 1;
  viewport()->update();
}

void TLogView::copy() const {
  if (FAnchor >= 0) QGuiApplication::clipboard()->setText(SelectedText());
}

void TLogView::MoveCurrent(qint64 Line, bool Extend) {
  if (FLines.Empty()) return;
  Line = std::clamp<qint64>(Line, 0, qint64(FLines.Size()) - 1);
  if (!Extend || FAnchor < 0) FAnchor = Line;
  FCurrent = Line;
  EnsureVisible(Line);
  viewport()->update();
}

void TLogView::EnsureVisible(qint64 Line) {
  QScrollBar* bar = verticalScrollBar();
  if (Line < bar->value())
    bar->setValue(int(Line));
  else if (Line >= bar->value() + VisibleLines())
    bar->setValue(int(Line - VisibleLines() + 1));
}

void TLogView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const int height = LineHeight();
  const int left = -horizontalScrollBar()->value() + 2;
  const qint64 first = verticalScrollBar()->value();
  const qint64 last = std::min<qint64>(qint64(FLines.Size()), first + viewport()->height() / height + 1);
  const qint64 low = std::min(FAnchor, FCurrent), high = std::max(FAnchor, FCurrent);
  const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
  int widest = FWidestPainted;
  for (qint64 i = first; i < last; ++i) {
    const QRect row(0, int(i - first) * height, viewport()->width(), height);
    const QString text = LineText(FLines[size_t(i)]);
    const bool selected = FAnchor >= 0 && i >= low && i <= high;
    if (selected) painter.fillRect(row, palette().brush(group, QPalette::Highlight));
    painter.setPen(palette().color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter.drawText(row.adjusted(left, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    widest = std::max(widest, fontMetrics().horizontalAdvance(text) + 4);
  }
  if (widest != FWidestPainted) {
    FWidestPainted = widest;
    UpdateScrollBars();
  }
}

void TLogView::resizeEvent(QResizeEvent* Event) {
  const bool follow = AtBottom();
  QAbstractScrollArea::resizeEvent(Event);
  UpdateScrollBars();
  if (follow) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TLogView::keyPressEvent(QKeyEvent* Event) {
  if (Event == QKeySequence::Copy) return copy();
  if (Event == QKeySequence::SelectAll) return selectAll();
  const bool extend = Event->modifiers() & Qt::ShiftModifier;
  const qint64 current = FCurrent >= 0 ? FCurrent : verticalScrollBar()->value();
  switch (Event->key()) {
    case Qt::Key_Up: return MoveCurrent(current - 1, extend);
    case Qt::Key_Down: return MoveCurrent(current + 1, extend);
    case Qt::Key_PageUp: return MoveCurrent(current - VisibleLines(), extend);
    case Qt::Key_PageDown: return MoveCurrent(current + VisibleLines(), extend);
    case Qt::Key_Home: return MoveCurrent(0, extend);
    case Qt::Key_End: return MoveCurrent(qint64(FLines.Size()) - 1, extend);
    default: QAbstractScrollArea::keyPressEvent(Event);
  }
}

void TLogView::mousePressEvent(QMouseEvent* Event) {
  if (FLines.Empty()) return;
  const bool extend = Event->modifiers() & Qt::ShiftModifier;
  // A right click on a selected line keeps the selection for the context menu.
  const qint64 line = LineAt(int(Event->position().y()));
  if (Event->button() == Qt::RightButton && FAnchor >= 0 && line >= std::min(FAnchor, FCurrent) &&
      line <= std::max(FAnchor, FCurrent))
    return;
  MoveCurrent(line, extend);
}

void TLogView::mouseMoveEvent(QMouseEvent* Event) {
  if (!(Event->buttons() & Qt::LeftButton) || FAnchor < 0) return;
  MoveCurrent(LineAt(int(Event->position().y())), true);
}

void TLogView::contextMenuEvent(QContextMenuEvent* Event) {
  FCopyAction->setEnabled(HasSelection());
  FSelectAllAction->setEnabled(!FLines.Empty());
  QMenu menu(this);
  menu.addAction(FCopyAction);
  menu.addSeparator();
  menu.addAction(FSelectAllAction);
  menu.exec(Event->globalPos());
}

void TLogView::changeEvent(QEvent* Event) {
  QAbstractScrollArea::changeEvent(Event);
  if (Event->type() == QEvent::FontChange) UpdateScrollBars();
}
