#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <cstdlib>
#include <string_view>

#include "controls/QtText.h"

namespace {

constexpr const char* ErrorContext = "EBriskoError";

// "ja", "ja_JP", "ja_JP.UTF-8", "ja_JP@euro" name Japanese; "jam" does not.
bool Names(std::string_view Locale, std::string_view Language) {
  return Locale.starts_with(Language) &&
         (Locale.size() == Language.size() || std::string_view("_.@").find(Locale[Language.size()]) != std::string_view::npos);
}

std::string Worded(const EBriskoError& Error, const QString& Wording) {
  return FillArguments(Wording.toStdString(), Error.Args());
}

}  // namespace

TLanguage ChooseLanguage(const TGetEnv& GetEnv) {
  auto value = [&GetEnv](const char* Name) {
    const char* text = GetEnv(Name);
    return std::string_view(text ? text : "");
  };
  std::string_view locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (!(locale = value(name)).empty()) break;
  if (locale.empty() || locale == "C" || locale == "POSIX") return TLanguage::English;
  std::string_view list = value("LANGUAGE");
  if (list.empty()) return Names(locale, "ja") ? TLanguage::Japanese : TLanguage::English;
  while (!list.empty()) {
    const std::string_view entry = list.substr(0, list.find(':'));
    if (Names(entry, "ja")) return TLanguage::Japanese;
    if (Names(entry, "en")) return TLanguage::English;
    list.remove_prefix(std::min(list.size(), entry.size() + 1));
  }
  return TLanguage::English;
}

TLanguage LanguageOfEnvironment() { return ChooseLanguage([](const char* Name) { return std::getenv(Name); }); }

TTranslations::TTranslations(TLanguage Language) : FLanguage(Language) {
  // The translations live in a static library, whose initialiser nothing else pulls in.
  Q_INIT_RESOURCE(translations);
  if (Language == TLanguage::English) (void)FOwn.load(u":/i18n/brisko_en"_qs);
}

// Qt's texts only here: an unattended run has no use for them.
void TTranslations::Install() {
  // Sizes and dates in the language of the texts around them ("227 bytes", not "227 バイト").
  const QLocale::Language language = FLanguage == TLanguage::Japanese ? QLocale::Japanese : QLocale::English;
  if (QLocale().language() != language) QLocale::setDefault(QLocale(language));
  const QString qtTexts = FLanguage == TLanguage::Japanese ? u"qtbase_ja"_qs : u"qtbase_en"_qs;
  if (FQt.load(qtTexts, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) QCoreApplication::installTranslator(&FQt);
  if (!FOwn.isEmpty()) QCoreApplication::installTranslator(&FOwn);
}

QString TTranslations::Translate(const char* Context, const char* Text) const {
  const QString text = FOwn.translate(Context, Text);
  return text.isEmpty() ? QString::fromUtf8(Text) : text;
}

TErrorWording TTranslations::Wording() const {
  return [this](const EBriskoError& Error) { return Worded(Error, Translate(ErrorContext, ErrorWording(Error.Id()))); };
}

// QTranslator leaves "%n" in place; Say fills it.
TTextWording TTranslations::TextWording() const {
  return [this](const char* Text, int Count) {
    const QString text = FOwn.translate("TRunText", Text, nullptr, Count);
    return text.isEmpty() ? std::string(Text) : text.toStdString();
  };
}

QString ErrorText(const EBriskoError& Error) {
  return BytesToText(Worded(Error, QCoreApplication::translate(ErrorContext, ErrorWording(Error.Id()))));
}

QString ErrorText(const std::exception& Error) {
  if (const auto* ours = dynamic_cast<const EBriskoError*>(&Error)) return ErrorText(*ours);
  return BytesToText(Error.what());
}
