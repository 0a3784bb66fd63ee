#pragma once
// The one exception class for the system's own errors. The message is UTF-8 and is
// meant to be shown to the user as it stands (the window shows it in an error box,
// an unattended run prints it on standard error).
#include <stdexcept>
#include <string>

class EBriskoError : public std::runtime_error {
public:
  explicit EBriskoError(const std::string& Message) : std::runtime_error(Message) {}
};
