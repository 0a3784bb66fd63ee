#pragma once
// The application object: the one place where an error escaping a command, an
// event handler or a queued call ends up, so the program shows it and goes on.
#include <QApplication>
#include <functional>

class TBriskoApplication : public QApplication {
public:
  TBriskoApplication(int& Argc, char** Argv);

  // Where errors go; without a handler they are printed on standard error.
  std::function<void(const QString&)> OnError;

  bool notify(QObject* Receiver, QEvent* Event) override;

private:
  void ShowError(const QString& Message);
};

// Theme icons for the tool bar also outside a desktop that names an icon theme.
void ChooseIconTheme();
