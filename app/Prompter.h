#pragma once
// Everything the main window asks of the user: message boxes and the two pattern
// file dialogs. Behind an interface so that tests answer in place of the user.
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

class QWidget;

// Button codes as the message boxes answer them.
enum TMessageResult : int { mrNone = 0, mrOK = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };
enum TMessageKind { mkInformation, mkConfirmation, mkError };
// mbSaveDiscardCancel answers as mbYesNoCancel does; its buttons name what they do.
enum TMessageButtons { mbOK, mbYesNo, mbYesNoCancel, mbSaveDiscardCancel };

class TPrompter {
public:
  virtual ~TPrompter() = default;
  // Shows a modal message box, Yes (or OK) the default; answers the button pressed,
  // Esc and the close box counting as Cancel (or No where there is no Cancel).
  virtual int MessageBox(QWidget* Parent, const QString& Text, const QString& Caption,
                         TMessageKind Kind, TMessageButtons Buttons) = 0;
  // The same box with an informative text under the question (the figures to
  // decide on); a prompter that shows none asks the question alone.
  virtual int MessageBox(QWidget* Parent, const QString& Text, const QString& Details, const QString& Caption,
                         TMessageKind Kind, TMessageButtons Buttons) {
    (void)Details;
    return MessageBox(Parent, Text, Caption, Kind, Buttons);
  }
  // The open and save dialogs of pattern files; nothing when cancelled. Names are
  // file-system bytes.
  virtual std::optional<std::string> OpenFileName(QWidget* Parent, const std::string& Initial) = 0;
  virtual std::optional<std::string> SaveFileName(QWidget* Parent, const std::string& Initial) = 0;
};

// The real thing: QMessageBox with Japanese button captions, QFileDialog with the
// pattern filter.
class TQtPrompter : public TPrompter {
public:
  int MessageBox(QWidget* Parent, const QString& Text, const QString& Caption, TMessageKind Kind,
                 TMessageButtons Buttons) override;
  int MessageBox(QWidget* Parent, const QString& Text, const QString& Details, const QString& Caption,
                 TMessageKind Kind, TMessageButtons Buttons) override;
  std::optional<std::string> OpenFileName(QWidget* Parent, const std::string& Initial) override;
  std::optional<std::string> SaveFileName(QWidget* Parent, const std::string& Initial) override;
};

// The pattern filter in the "text|patterns|text|patterns" form (FilterToNameFilters
// gives its Qt form).
extern const char* const PatternFileFilter;
