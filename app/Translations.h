#pragma once
// Brisko speaks Japanese under a Japanese locale and English under any other. Its
// texts are written in Japanese in the code (tr()); translations/brisko_en.ts holds the
// English ones, built into the program as brisko_en.qm. Qt's own texts (file choosers,
// standard buttons) come from Qt's translations (qtbase_XX) for the same language.
// Result lines, the log, pattern and settings files are the same in every language.
#include <QString>
#include <QTranslator>
#include <exception>
#include <functional>

#include "app/UnattendedRun.h"
#include "platform/BriskoError.h"

enum class TLanguage { Japanese, English };

// The locale is the first of LC_ALL, LC_MESSAGES and LANG that is set. Unless it is
// C or POSIX, LANGUAGE (languages by preference, ':' between) goes first: its first
// Japanese or English entry decides, and a list with neither means English. Else a
// Japanese locale means Japanese; any other, English.
using TGetEnv = std::function<const char*(const char*)>;
TLanguage ChooseLanguage(const TGetEnv& GetEnv);
TLanguage LanguageOfEnvironment();

// The translators of one language. Loading needs no application object: an
// unattended run words its errors with them alone, starting no toolkit.
class TTranslations {
public:
  explicit TTranslations(TLanguage Language);
  // Hands them, and Qt's own, to the application object, which must exist.
  void Install();
  // Text in this language; the Japanese text itself where there is no translation.
  QString Translate(const char* Context, const char* Text) const;
  // Errors worded in this language, for standard error.
  TErrorWording Wording() const;
  // The command line's own texts (Say) in this language.
  TTextWording TextWording() const;

private:
  const TLanguage FLanguage;
  QTranslator FOwn;  // Brisko's texts; empty in Japanese
  QTranslator FQt;   // Qt's texts, loaded by Install
};

// An error of ours in the language of the application's translators.
QString ErrorText(const EBriskoError& Error);
QString ErrorText(const std::exception& Error);
