#include "dialogs/ModalForm.h"

#include "controls/FieldFault.h"
#include "controls/NumEdits.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

// Every push button of the form is an auto-default one, as in any dialog: Enter
// presses the focused button, and OK, the default, wherever else the focus is.
TModalForm::TModalForm(QWidget* Parent) : QDialog(Parent) {
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  CancelButton = new QPushButton(tr("キャンセル"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  Body = new QWidget;
  Body->setObjectName(QStringLiteral("Body"));
  FScroller = new QScrollArea(this);
  FScroller->setFrameShape(QFrame::NoFrame);
  FScroller->setWidgetResizable(true);
  FScroller->setFocusPolicy(Qt::NoFocus);  // the tab order runs through the fields alone
  FScroller->setWidget(Body);
  auto* Buttons = new QHBoxLayout;
  Buttons->setContentsMargins(8, 0, 8, 0);
  Buttons->addStretch(1);
  Buttons->addWidget(OKButton);
  Buttons->addWidget(CancelButton);
  auto* Form = new QVBoxLayout(this);
  Form->setContentsMargins(0, 0, 0, 8);
  Form->setSpacing(8);
  Form->addWidget(FScroller, 1);
  Form->addLayout(Buttons);
}

QSize TModalForm::FittingSize(const QScreen* Screen) const {
  const QSize Fields = Body->sizeHint();
  const QSize Buttons = layout()->itemAt(1)->sizeHint();
  const QMargins Margins = layout()->contentsMargins();
  const QSize Wanted(std::max(Fields.width(), Buttons.width()) + Margins.left() + Margins.right(),
                     Fields.height() + layout()->spacing() + Buttons.height() + Margins.top() + Margins.bottom());
  // The window manager's frame is not known before the form is shown: the main
  // window's, where it has one, or a title bar's height.
  QSize Frame(0, style()->pixelMetric(QStyle::PM_TitleBarHeight));
  if (const QWidget* Over = parentWidget()) {
    const QSize Framed = Over->window()->frameGeometry().size() - Over->window()->geometry().size();
    Frame = Frame.expandedTo(Framed);
  }
  const QSize Room = Screen->availableGeometry().size() - Frame;
  QSize Size = Wanted.boundedTo(Room);
  // A scroll bar takes room of its own beside the fields, where there is some.
  const int Bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  if (Size.height() < Wanted.height()) Size.setWidth(std::min(Room.width(), Size.width() + Bar));
  if (Size.width() < Wanted.width()) Size.setHeight(std::min(Room.height(), Size.height() + Bar));
  return Size;
}

bool TModalForm::ExecOver(QWidget* Parent) {
  QWidget* const Owner = parentWidget();
  if (Parent && Parent != Owner) setParent(Parent, windowFlags());
  const bool Confirmed = exec() == QDialog::Accepted;
  if (parentWidget() != Owner) setParent(Owner, windowFlags());
  return Confirmed;
}

void TModalForm::ApplyFieldChecks(const QList<TFieldCheck>& Checks) {
  FFirstFault = nullptr;
  for (const TFieldCheck& Check : Checks) {
    SetFieldFault(Check.Field, Check.Fault);
    if (!Check.Fault.isEmpty() && !FFirstFault) FFirstFault = Check.Field;
  }
  OKButton->setEnabled(!FFirstFault);
}

// Every showing starts on OK, or, while OK is disabled, in the first field that keeps
// it so: a new item opens ready for its folder to be typed.
void TModalForm::showEvent(QShowEvent* Event) {
  if (!Event->spontaneous()) {
    FormShow();
    // Before QDialog places the form over its parent, within the screen.
    const QWidget* Over = parentWidget() ? parentWidget()->window() : this;
    resize(FittingSize(Over->screen()));
    if (OKButton->isEnabled() || !FFirstFault)
      OKButton->setFocus();
    else
      FFirstFault->setFocus();
  }
  QDialog::showEvent(Event);
}

void TModalForm::done(int Result) {
  setResult(Result);
  FormClose();
  QDialog::done(Result);
}

int TypicalPathWidth(const QWidget* Edit) {
  static const QString Sample = QStringLiteral("/home/someone/Documents/projects/2024/reports/quarterly/final");
  return Edit->fontMetrics().horizontalAdvance(Sample) + 2 * Edit->fontMetrics().averageCharWidth();
}

QString UpDownFault(TUpDownEdit* Edit) {
  if (Edit->Relation() == nrAccord) return {};
  const TInternalUpDown* UpDown = Edit->UpDown();
  return TModalForm::tr("%1 から %2 までの整数を指定してください。").arg(UpDown->Min()).arg(UpDown->Max());
}
