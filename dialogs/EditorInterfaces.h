#pragma once
// The dialogs the main window shows, behind interfaces so that the window can be
// tested with stand-ins and the dialogs built on their own.
#include "app/LogFile.h"
#include "engine/DeletionItem.h"

class QWidget;

class TItemEditor {
public:
  virtual ~TItemEditor() = default;
  // Shows the item editor modally for Texts (a new row has six empty texts);
  // on OK writes the edited texts back and answers true.
  virtual bool EditItem(QWidget* Parent, TItemTexts& Texts) = 0;
};

class TOptionsEditor {
public:
  virtual ~TOptionsEditor() = default;
  // Shows the options dialog modally; on OK writes the three settings back and answers true.
  virtual bool EditOptions(QWidget* Parent, TLogSettings& Settings) = 0;
};
