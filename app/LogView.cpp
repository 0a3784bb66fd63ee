#include "app/LogView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <algorithm>

#include "app/ResultCodes.h"
#include "controls/QtText.h"

namespace {

QString TextOf(std::string_view Line) { return BytesToText(std::string(Line)); }

// A word for a double click: what a path or a name is made of, "/" and spaces apart.
bool IsWordCharacter(QChar C) { return C.isLetterOrNumber() || C == u'_' || C == u'.' || C == u'-' || C == u'~'; }

// Whether Line holds Needle (ASCII letters folded): a quick test before the line is
// converted and searched as text.
bool MayHold(std::string_view Line, const std::string& Needle) {
  const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  return std::search(Line.begin(), Line.end(), Needle.begin(), Needle.end(),
                     [&](char a, char b) { return fold(a) == fold(b); }) != Line.end();
}

}  // namespace

TLogView::TLogView(QWidget* Parent) : QAbstractScrollArea(Parent) {
  setFocusPolicy(Qt::StrongFocus);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  viewport()->setCursor(Qt::IBeamCursor);
  CreateActions();
  CreateFindBar();
  UpdateScrollBars();
}

void TLogView::CreateActions() {
  FCopyAction = new QAction(tr("コピー(&C)"), this);
  FCopyAction->setShortcut(QKeySequence::Copy);
  connect(FCopyAction, &QAction::triggered, this, [this] { copy(); });
  FSelectAllAction = new QAction(tr("すべて選択(&A)"), this);
  FSelectAllAction->setShortcut(QKeySequence::SelectAll);
  connect(FSelectAllAction, &QAction::triggered, this, [this] { selectAll(); });
  // The window's own: they work wherever the focus is.
  auto windowAction = [this](const QString& Caption, const QKeySequence& Key, auto Handler) {
    auto* action = new QAction(Caption, this);
    action->setShortcut(Key);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, Handler);
    addAction(action);
    return action;
  };
  NextFailureAction = windowAction(tr("次の失敗(&N)"), QKeySequence(Qt::Key_F8), [this] { NextFailure(true); });
  PreviousFailureAction =
      windowAction(tr("前の失敗(&P)"), QKeySequence(Qt::SHIFT | Qt::Key_F8), [this] { NextFailure(false); });
  FindAction = windowAction(tr("検索(&F)..."), QKeySequence(Qt::CTRL | Qt::Key_F), [this] { ShowFindBar(); });
  FindNextAction = windowAction(tr("次を検索"), QKeySequence(Qt::Key_F3), [this] { FindNext(true); });
  FindPreviousAction = windowAction(tr("前を検索"), QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { FindNext(false); });
}

// A strip under the lines: the text, previous, next, what the search found, close.
// Esc is left to the window, where it stops a run.
void TLogView::CreateFindBar() {
  FindBar = new QWidget(this);
  auto* layout = new QHBoxLayout(FindBar);
  layout->setContentsMargins(2, 1, 2, 1);
  auto* label = new QLabel(tr("検索:"), FindBar);
  FindEdit = new QLineEdit(FindBar);
  label->setBuddy(FindEdit);
  auto button = [this](const QString& Hint, QStyle::StandardPixmap Image, auto Handler) {
    auto* b = new QToolButton(FindBar);
    b->setIcon(style()->standardIcon(Image));
    b->setToolTip(Hint);
    b->setAutoRaise(true);
    connect(b, &QToolButton::clicked, this, Handler);
    return b;
  };
  FFindStatus = new QLabel(FindBar);
  layout->addWidget(label);
  layout->addWidget(FindEdit, 1);
  layout->addWidget(button(tr("前を検索 (Shift+F3)"), QStyle::SP_ArrowUp, [this] { FindNext(false); }));
  layout->addWidget(button(tr("次を検索 (F3)"), QStyle::SP_ArrowDown, [this] { FindNext(true); }));
  layout->addWidget(FFindStatus);
  layout->addWidget(button(tr("閉じる"), QStyle::SP_TitleBarCloseButton, [this] {
    FindBar->hide();
    LayoutFindBar();
    setFocus();
  }));
  connect(FindEdit, &QLineEdit::returnPressed, this,
          [this] { FindNext(!(QApplication::keyboardModifiers() & Qt::ShiftModifier)); });
  connect(FindEdit, &QLineEdit::textChanged, FFindStatus, &QLabel::clear);
  FindBar->hide();
}

void TLogView::LayoutFindBar() {
  const int height = FindBar->isVisible() ? FindBar->sizeHint().height() : 0;
  setViewportMargins(0, 0, 0, height);
  const QRect area = viewport()->geometry();
  FindBar->setGeometry(area.left(), area.bottom() + 1, area.width(), height);
  UpdateScrollBars();
}

QString TLogView::LineText(qint64 Line) const { return TextOf(FLines[size_t(Line)]); }

int TLogView::LineHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

// Room for the warning icon before every line, so that lines stay aligned.
int TLogView::TextLeft() const { return -horizontalScrollBar()->value() + 4 + LineHeight(); }

qint64 TLogView::VisibleLines() const { return std::max(1, viewport()->height() / LineHeight()); }

qint64 TLogView::LineAt(int Y) const {
  const qint64 line = verticalScrollBar()->value() + (Y < 0 ? -1 : Y / LineHeight());
  return std::clamp<qint64>(line, 0, qint64(FLines.Size()) - 1);
}

// The place nearest to Point: the boundary between two characters whose middle lies
// on either side of it.
TLogView::TPos TLogView::PosAt(const QPoint& Point) const {
  const qint64 line = LineAt(Point.y());
  const QString text = LineText(line);
  const int x = Point.x() - TextLeft();
  const QFontMetrics metrics = fontMetrics();
  int low = 0, high = int(text.size());
  while (low < high) {
    const int mid = (low + high) / 2;
    const int middle = (metrics.horizontalAdvance(text.left(mid)) + metrics.horizontalAdvance(text.left(mid + 1))) / 2;
    if (middle <= x)
      low = mid + 1;
    else
      high = mid;
  }
  return {line, low};
}

bool TLogView::AtBottom() const { return verticalScrollBar()->value() >= verticalScrollBar()->maximum(); }

bool TLogView::IsFailed(qint64 Line) const {
  const std::optional<int> code = ResultLineCode(FLines[size_t(Line)]);
  return code && IsFailureCode(*code);
}

QString TLogView::LineReason(std::string_view Line) {
  const std::optional<int> code = ResultLineCode(Line);
  if (!code || *code == 0) return {};
  const QString hex = QString::number(uint(*code), 16).toUpper().rightJustified(4, u'0');
  return tr("0x%1: %2").arg(hex, ResultCodeText(*code));
}

// The palette has no error role: a red that reads on the palette's background.
QColor TLogView::ErrorColour(const QPalette& Palette) {
  return Palette.color(QPalette::Base).lightness() < 128 ? QColor(0xff, 0x7b, 0x63) : QColor(0xc0, 0x1c, 0x28);
}

void TLogView::UpdateScrollBars() {
  const qint64 count = qint64(FLines.Size());
  const qint64 visible = VisibleLines();
  verticalScrollBar()->setRange(0, int(std::max<qint64>(0, count - visible)));
  verticalScrollBar()->setPageStep(int(visible));
  verticalScrollBar()->setSingleStep(1);
  // Only painted lines are measured; the longest line by bytes gives a first guess.
  const int guess = int(std::min<size_t>(FLines.LongestLine(), 4096)) * fontMetrics().averageCharWidth();
  const int widest = std::max(FWidestPainted, guess) + fontMetrics().averageCharWidth() + 4 + LineHeight();
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
  FAnchor = FCursor = TPos();
  FWidestPainted = 0;
  UpdateScrollBars();
  viewport()->update();
}

QString TLogView::SelectedText() const {
  if (!HasSelection()) return {};
  const TPos low = std::min(FAnchor, FCursor), high = std::max(FAnchor, FCursor);
  if (low.Line == high.Line) return LineText(low.Line).mid(low.Column, high.Column - low.Column);
  QString text = LineText(low.Line).mid(low.Column);
  for (qint64 i = low.Line + 1; i < high.Line; ++i) (text += u'\n') += LineText(i);
  (text += u'\n') += LineText(high.Line).left(high.Column);
  return text;
}

void TLogView::selectAll() {
  if (FLines.Empty()) return;
  const qint64 last = qint64(FLines.Size()) - 1;
  FAnchor = {0, 0};
  FCursor = {last, LineLength(last)};
  viewport()->update();
}

void TLogView::copy() const {
  if (HasSelection()) QGuiApplication::clipboard()->setText(SelectedText());
}

void TLogView::Select(TPos Anchor, TPos Cursor) {
  FAnchor = Anchor;
  FCursor = Cursor;
  EnsureVisible(Cursor);
  viewport()->update();
}

void TLogView::MoveCursor(TPos Cursor, bool Extend) {
  if (FLines.Empty()) return;
  Cursor.Line = std::clamp<qint64>(Cursor.Line, 0, qint64(FLines.Size()) - 1);
  Cursor.Column = std::clamp(Cursor.Column, 0, LineLength(Cursor.Line));
  Select(Extend && FAnchor.Line >= 0 ? FAnchor : Cursor, Cursor);
}

void TLogView::SelectLine(qint64 Line) { Select({Line, 0}, {Line, LineLength(Line)}); }

void TLogView::EnsureVisible(TPos Pos) {
  QScrollBar* bar = verticalScrollBar();
  if (Pos.Line < bar->value())
    bar->setValue(int(Pos.Line));
  else if (Pos.Line >= bar->value() + VisibleLines())
    bar->setValue(int(Pos.Line - VisibleLines() + 1));
  // Horizontally only as far as needed to show the place.
  const int x = fontMetrics().horizontalAdvance(LineText(Pos.Line).left(Pos.Column)) + 4 + LineHeight();
  QScrollBar* across = horizontalScrollBar();
  if (x < across->value() + LineHeight())
    across->setValue(std::max(0, x - LineHeight() * 2));
  else if (x > across->value() + viewport()->width() - 8)
    across->setValue(x - viewport()->width() + 8 + fontMetrics().averageCharWidth() * 8);
}

bool TLogView::NextFailure(bool Forward) {
  const qint64 count = qint64(FLines.Size());
  const qint64 from = FCursor.Line >= 0 ? FCursor.Line : (Forward ? -1 : count);
  for (qint64 step = 1; step <= count; ++step) {
    const qint64 line = ((from + (Forward ? step : -step)) % count + count) % count;
    if (IsFailed(line)) {
      SelectLine(line);
      return true;
    }
  }
  QApplication::beep();
  return false;
}

void TLogView::ShowFindBar() {
  FindBar->show();
  LayoutFindBar();
  FindEdit->setFocus(Qt::ShortcutFocusReason);
  FindEdit->selectAll();
}

bool TLogView::FindNext(bool Forward) {
  const QString needle = FindEdit->text();
  if (needle.isEmpty()) {
    ShowFindBar();
    return false;
  }
  const std::string bytes = TextToBytes(needle);
  const qint64 count = qint64(FLines.Size());
  const TPos low = std::min(FAnchor, FCursor), high = std::max(FAnchor, FCursor);
  // The search starts after the selection (before it, backwards), in its own line.
  const TPos start = FCursor.Line < 0 ? TPos{Forward ? 0 : count - 1, Forward ? 0 : -1} : (Forward ? high : low);
  for (qint64 step = 0; step <= count && count > 0; ++step) {
    const qint64 line = ((start.Line + (Forward ? step : -step)) % count + count) % count;
    if (!MayHold(FLines[size_t(line)], bytes)) continue;
    const QString text = LineText(line);
    qsizetype at = -1;
    if (Forward)
      at = text.indexOf(needle, step == 0 ? start.Column : 0, Qt::CaseInsensitive);
    else if (step == 0)
      at = start.Column > 0 ? text.lastIndexOf(needle, start.Column - 1, Qt::CaseInsensitive) : -1;
    else
      at = text.lastIndexOf(needle, -1, Qt::CaseInsensitive);
    // Back in the first line after wrapping around: only what lies before the start.
    if (step == count && at >= 0 && (Forward ? at >= start.Column : at < start.Column)) at = -1;
    if (at >= 0) {
      FFindStatus->clear();
      Select({line, int(at)}, {line, int(at + needle.size())});
      return true;
    }
  }
  FFindStatus->setText(tr("見つかりません"));
  return false;
}

void TLogView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const int height = LineHeight();
  const int left = TextLeft();
  const QFontMetrics metrics = fontMetrics();
  const qint64 first = verticalScrollBar()->value();
  const qint64 last = std::min<qint64>(qint64(FLines.Size()), first + viewport()->height() / height + 1);
  const bool selection = HasSelection();
  const TPos low = std::min(FAnchor, FCursor), high = std::max(FAnchor, FCursor);
  const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
  const QColor textColour = palette().color(group, QPalette::Text);
  const QColor errorColour = ErrorColour(palette());
  const int iconSize = std::max(8, height - 2);
  if (FWarningIcon.height() != iconSize)
    FWarningIcon = style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(QSize(iconSize, iconSize));
  int widest = FWidestPainted;
  for (qint64 i = first; i < last; ++i) {
    const QRect row(0, int(i - first) * height, viewport()->width(), height);
    const QRect textRow = row.adjusted(left, 0, 0, 0);
    const QString text = LineText(i);
    const bool failed = IsFailed(i);
    if (failed) painter.drawPixmap(left - iconSize - 2, row.top() + (height - iconSize) / 2, FWarningIcon);
    painter.setPen(failed ? errorColour : textColour);
    painter.drawText(textRow, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    if (selection && i >= low.Line && i <= high.Line) {
      // The selected part drawn again over the highlight; a selection that goes on
      // past the line shows its line break as a little more highlight.
      const int from = i == low.Line ? low.Column : 0;
      const int to = i == high.Line ? high.Column : int(text.size());
      const int x1 = left + metrics.horizontalAdvance(text.left(from));
      int x2 = left + metrics.horizontalAdvance(text.left(to));
      if (i < high.Line) x2 += metrics.averageCharWidth();
      const QRect marked(x1, row.top(), x2 - x1, height);
      painter.save();
      painter.setClipRect(marked);
      painter.fillRect(marked, palette().brush(group, QPalette::Highlight));
      painter.setPen(palette().color(group, QPalette::HighlightedText));
      painter.drawText(textRow, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
      painter.restore();
    }
    widest = std::max(widest, metrics.horizontalAdvance(text) + 4);
  }
  if (widest != FWidestPainted) {
    FWidestPainted = widest;
    UpdateScrollBars();
  }
}

void TLogView::resizeEvent(QResizeEvent* Event) {
  const bool follow = AtBottom();
  QAbstractScrollArea::resizeEvent(Event);
  LayoutFindBar();
  if (follow) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TLogView::keyPressEvent(QKeyEvent* Event) {
  if (Event == QKeySequence::Copy) return copy();
  if (Event == QKeySequence::SelectAll) return selectAll();
  if (FLines.Empty()) return QAbstractScrollArea::keyPressEvent(Event);
  const bool extend = Event->modifiers() & Qt::ShiftModifier;
  const bool control = Event->modifiers() & Qt::ControlModifier;
  const TPos at = FCursor.Line >= 0 ? FCursor : TPos{verticalScrollBar()->value(), 0};
  const qint64 lastLine = qint64(FLines.Size()) - 1;
  switch (Event->key()) {
    case Qt::Key_Left:
      if (at.Column > 0) return MoveCursor({at.Line, at.Column - 1}, extend);
      if (at.Line > 0) return MoveCursor({at.Line - 1, LineLength(at.Line - 1)}, extend);
      return MoveCursor(at, extend);
    case Qt::Key_Right:
      if (at.Column < LineLength(at.Line)) return MoveCursor({at.Line, at.Column + 1}, extend);
      if (at.Line < lastLine) return MoveCursor({at.Line + 1, 0}, extend);
      return MoveCursor(at, extend);
    case Qt::Key_Up: return MoveCursor({at.Line - 1, at.Column}, extend);
    case Qt::Key_Down: return MoveCursor({at.Line + 1, at.Column}, extend);
    case Qt::Key_PageUp: return MoveCursor({at.Line - VisibleLines(), at.Column}, extend);
    case Qt::Key_PageDown: return MoveCursor({at.Line + VisibleLines(), at.Column}, extend);
    case Qt::Key_Home: return MoveCursor({control ? 0 : at.Line, 0}, extend);
    case Qt::Key_End: {
      const qint64 line = control ? lastLine : at.Line;
      return MoveCursor({line, LineLength(line)}, extend);
    }
    default: QAbstractScrollArea::keyPressEvent(Event);
  }
}

void TLogView::mousePressEvent(QMouseEvent* Event) {
  if (FLines.Empty()) return;
  const TPos at = PosAt(Event->position().toPoint());
  if (Event->button() == Qt::RightButton) {
    // A right click inside the selection keeps it for the context menu.
    if (HasSelection() && at >= std::min(FAnchor, FCursor) && at <= std::max(FAnchor, FCursor)) return;
  } else if (Event->button() == Qt::LeftButton && FDoubleClicked.isValid() &&
             FDoubleClicked.elapsed() < QApplication::doubleClickInterval() && at.Line == FDoubleClickedLine) {
    FDoubleClicked.invalidate();
    return SelectLine(at.Line);
  }
  MoveCursor(at, Event->modifiers() & Qt::ShiftModifier);
}

void TLogView::mouseMoveEvent(QMouseEvent* Event) {
  if (!(Event->buttons() & Qt::LeftButton) || FAnchor.Line < 0) return;
  MoveCursor(PosAt(Event->position().toPoint()), true);
}

void TLogView::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (FLines.Empty() || Event->button() != Qt::LeftButton) return;
  const TPos at = PosAt(Event->position().toPoint());
  const QString text = LineText(at.Line);
  int from = at.Column, to = at.Column;
  // The character under the pointer is the one at or just before the place.
  if (to < text.size() && IsWordCharacter(text[to])) ++to;
  else if (from > 0 && IsWordCharacter(text[from - 1])) --from;
  while (from > 0 && IsWordCharacter(text[from - 1])) --from;
  while (to < text.size() && IsWordCharacter(text[to])) ++to;
  Select({at.Line, from}, {at.Line, to});
  FDoubleClicked.start();
  FDoubleClickedLine = at.Line;
}

void TLogView::contextMenuEvent(QContextMenuEvent* Event) {
  FCopyAction->setEnabled(HasSelection());
  FSelectAllAction->setEnabled(!FLines.Empty());
  QMenu menu(this);
  menu.addAction(FCopyAction);
  menu.addSeparator();
  menu.addAction(FSelectAllAction);
  menu.addSeparator();
  menu.addAction(NextFailureAction);
  menu.addAction(PreviousFailureAction);
  menu.addSeparator();
  menu.addAction(FindAction);
  menu.exec(Event->globalPos());
}

void TLogView::changeEvent(QEvent* Event) {
  QAbstractScrollArea::changeEvent(Event);
  if (Event->type() == QEvent::FontChange) UpdateScrollBars();
}

// The reason of a line's code, where the pointer rests on it.
bool TLogView::viewportEvent(QEvent* Event) {
  if (Event->type() != QEvent::ToolTip) return QAbstractScrollArea::viewportEvent(Event);
  auto* help = static_cast<QHelpEvent*>(Event);
  const qint64 line = verticalScrollBar()->value() + help->pos().y() / LineHeight();
  const QString reason = line < qint64(FLines.Size()) ? LineReason(FLines[size_t(line)]) : QString();
  if (reason.isEmpty()) {
    QToolTip::hideText();
    Event->ignore();
  } else {
    QToolTip::showText(help->globalPos(), reason, viewport());
  }
  return true;
}
