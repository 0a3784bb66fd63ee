#pragma once
// Reference edits: a single-line edit with a small "..." button beside it that runs a
// chooser (a file dialog or a folder chooser) whose result replaces the edit's text.
//
// Composition: the edit is the widget (a QLineEdit, so its text, signals and font are
// the ordinary ones) and the button is a sibling on the edit's parent, placed by the
// edit Margin pixels right of its right edge after every geometry change and kept in
// the edit's enabled state, visibility and layout direction. Use NewLayoutItem() to
// put the pair into a layout: the item keeps the button's room free.
//
// The choosers run through a replaceable Runner so that a caller (a test) can confirm
// or cancel without a dialog on the screen.
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringList>

#include <functional>

#include "controls/SideItem.h"

class QLayoutItem;

class TEllipsisButton : public QPushButton {
  Q_OBJECT
public:
  explicit TEllipsisButton(QWidget* Parent = nullptr);
};

class TCustomRefEdit : public QLineEdit {
  Q_OBJECT
public:
  explicit TCustomRefEdit(QWidget* Parent = nullptr);
  ~TCustomRefEdit() override;

  TEllipsisButton* Button() const { return FButton; }
  int Margin() const { return FMargin; }
  void SetMargin(int Value);
  bool TextTip() const { return FTextTip; }
  void SetTextTip(bool Value) { FTextTip = Value; }

  // The width the edit gives its text, and the tool tip the text tip shows now
  // (empty: none); a field marked with a fault (FieldFault) shows the fault too.
  int TextSpace() const;
  QString TextTipText() const;

  QLayoutItem* NewLayoutItem();
  void setVisible(bool Visible) override;

public slots:
  // The button's click: runs the chooser and takes its result.
  virtual void ButtonClick() {}

signals:
  void Change();

protected:
  bool event(QEvent* Event) override;

private:
  QPointer<TEllipsisButton> FButton;
  int FMargin = 4;
  bool FTextTip = false;
  TSideControl FSide;
};

enum TDialogStyle { dsOpen, dsSave };

enum TOpenOption : unsigned {
  ofReadOnly = 1u << 0, ofOverwritePrompt = 1u << 1, ofHideReadOnly = 1u << 2, ofNoChangeDir = 1u << 3,
  ofShowHelp = 1u << 4, ofNoValidate = 1u << 5, ofAllowMultiSelect = 1u << 6, ofExtensionDifferent = 1u << 7,
  ofPathMustExist = 1u << 8, ofFileMustExist = 1u << 9, ofCreatePrompt = 1u << 10, ofShareAware = 1u << 11,
  ofNoReadOnlyReturn = 1u << 12, ofNoTestFileCreate = 1u << 13, ofNoNetworkButton = 1u << 14,
  ofNoLongNames = 1u << 15, ofOldStyleDialog = 1u << 16, ofNoDereferenceLinks = 1u << 17,
  ofEnableIncludeNotify = 1u << 18, ofEnableSizing = 1u << 19, ofDontAddToRecent = 1u << 20,
  ofForceShowHidden = 1u << 21,
};
Q_DECLARE_FLAGS(TOpenOptions, TOpenOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TOpenOptions)

// Turns "description|pattern|description|pattern" into Qt's name filters
// ("description (pattern)"; ";" between patterns becomes a blank).
QStringList FilterToNameFilters(const QString& Filter);

class TSelectFile {
public:
  // Runs the prepared dialog; answers whether the user confirmed and fills Chosen.
  using TRunner = std::function<bool(QFileDialog& Dialog, QStringList& Chosen)>;

  explicit TSelectFile(QWidget* Owner = nullptr) : FOwner(Owner) {}
  void Assign(const TSelectFile& Source);

  bool Execute();

  QString FileName;
  QString Filter;
  int FilterIndex = 1;
  QString DefaultExt;
  QString Title;
  QString InitialDir;
  TOpenOptions Options = TOpenOptions(ofHideReadOnly) | ofEnableSizing;
  TDialogStyle Style = dsOpen;
  TRunner Runner;

  const QStringList& Files() const { return FFiles; }
  // Sets up Dialog as Execute does (exposed for callers that drive their own dialog).
  void Prepare(QFileDialog& Dialog) const;

private:
  QWidget* FOwner;
  QStringList FFiles;
};

enum TSelectDirExtOpt : unsigned {
  sdNewFolder = 1u << 0, sdShowEdit = 1u << 1, sdShowShares = 1u << 2,
  sdNewUI = 1u << 3, sdShowFiles = 1u << 4, sdValidateDir = 1u << 5,
};
Q_DECLARE_FLAGS(TSelectDirExtOpts, TSelectDirExtOpt)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSelectDirExtOpts)

class TSelectDirectory {
public:
  using TRunner = std::function<bool(QFileDialog& Dialog, QString& Chosen)>;

  explicit TSelectDirectory(QWidget* Owner = nullptr) : FOwner(Owner) {}
  void Assign(const TSelectDirectory& Source);

  bool Execute();
  void Prepare(QFileDialog& Dialog) const;

  QString Caption;
  QString Root;
  QString Directory;
  TSelectDirExtOpts Options;
  TRunner Runner;

private:
  QWidget* FOwner;
};

class TRefFileEdit : public TCustomRefEdit {
  Q_OBJECT
public:
  explicit TRefFileEdit(QWidget* Parent = nullptr);
  TSelectFile& Dialog() { return FDialog; }
  void SetDialog(const TSelectFile& Source) { FDialog.Assign(Source); }
  void ButtonClick() override;

private:
  TSelectFile FDialog;
};

class TRefDirectoryEdit : public TCustomRefEdit {
  Q_OBJECT
public:
  explicit TRefDirectoryEdit(QWidget* Parent = nullptr);
  TSelectDirectory& Dialog() { return FDialog; }
  void SetDialog(const TSelectDirectory& Source) { FDialog.Assign(Source); }
  void ButtonClick() override;

private:
  TSelectDirectory FDialog;
};
