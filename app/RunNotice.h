#pragma once
// A desktop notification after an unattended run (org.freedesktop.Notifications):
// the pattern's name, what happened in one line, and an action "Show log" that opens
// the window on the pattern with the log file loaded. Sent after a run that did not
// end well, or after every run when the schedule asked for it (BRISKO_NOTIFY=always,
// which the schedule dialog sets in the service's drop-in).
//
// Nothing waits on it: a child process of its own sends the notice and stays only
// to hear the action, until the notice is closed or an hour has passed. Without a
// session bus nothing is sent, and no bus is started for it.
#include <QObject>
#include <string>

class TTranslations;

// Whether a run that ended with Status gets a notice; NotifySetting is the
// variable's value (may be null).
bool WantsRunNotice(int Status, const char* NotifySetting);

// The notice's summary and body for a run of PatternFile that ended with Status.
struct TRunNoticeText {
  QString Summary;
  QString Body;
  QString Action;  // the caption of the action that shows the log
};
TRunNoticeText RunNoticeText(const std::string& PatternFile, int Status, const TTranslations& Texts);

// Sends the notice from a child process when WantsRunNotice says so and a session
// bus is there; returns at once.
void SendRunNotice(const std::string& PatternFile, int Status, const TTranslations& Texts);

// The action the notice offers; the window opens with `brisko --show-log PATTERN`.
inline constexpr const char* ShowLogAction = "show-log";

// Waits, in the notifying child, for the action on one notice or for its end.
class TNoticeWatch : public QObject {
  Q_OBJECT
public:
  TNoticeWatch(unsigned Id, std::string PatternFile) : FId(Id), FPatternFile(std::move(PatternFile)) {}

public slots:
  void ActionInvoked(uint Id, const QString& Action);
  void NotificationClosed(uint Id, uint Reason);

private:
  const unsigned FId;
  const std::string FPatternFile;
};
