#pragma once
// The one exception class for the system's own errors. An error is an identifier and
// its arguments (UTF-8 texts), which the Qt layer words in the user's language
// (app/Translations); what() is the Japanese wording, for callers that need a text.
#include <stdexcept>
#include <string>
#include <vector>

// Every error the core raises, with its Japanese wording; %1, %2... are the arguments.
// The marker only lets lupdate collect the wordings for the translations: a new error
// is one more line here (and its English text in translations/brisko_en.ts).
#define BRISKO_ERRORS(X)                                                                         \
  X(eiText, QT_TRANSLATE_NOOP("EBriskoError", "%1"))                                             \
  X(eiUnknown, QT_TRANSLATE_NOOP("EBriskoError", "不明なエラーで処理を中断しました"))           \
  X(eiBadLapsedDays, QT_TRANSLATE_NOOP("EBriskoError", "'%1' は正しい経過日数ではありません")) \
  X(eiBadMaskChar, QT_TRANSLATE_NOOP("EBriskoError", "%1 番目の文字（'%2'）は正しくないマスク文字です")) \
  X(eiBadInteger, QT_TRANSLATE_NOOP("EBriskoError", "'%1' は有効な整数値ではありません"))      \
  X(eiCannotOpenFile, QT_TRANSLATE_NOOP("EBriskoError", "ファイル %1 は開けません。 %2 "))      \
  X(eiCannotCreateFile, QT_TRANSLATE_NOOP("EBriskoError", "ファイル \"%1\" を作成できません。%2")) \
  X(eiCannotWrite, QT_TRANSLATE_NOOP("EBriskoError", "%1 に書き込めません"))                     \
  X(eiRelativeLocation, QT_TRANSLATE_NOOP("EBriskoError", "'%1' は絶対パスではないため、対象フォルダにできません")) \
  X(eiWindowsLocation, QT_TRANSLATE_NOOP("EBriskoError", "'%1' は Windows のパスのため、対象フォルダにできません")) \
  X(eiRootLocation, QT_TRANSLATE_NOOP("EBriskoError", "'%1' はルートフォルダのため、対象フォルダにできません")) \
  X(eiUntrustedLink,                                                                             \
    QT_TRANSLATE_NOOP("EBriskoError", "'%1' は他のユーザーのシンボリックリンク '%2' を通るため、対象フォルダにできません")) \
  X(eiValueHasNul, QT_TRANSLATE_NOOP("EBriskoError", "%1 の [%2] %3 は NUL 文字を含むため、そのまま読み書きできません")) \
  X(eiValueLineBreak, QT_TRANSLATE_NOOP("EBriskoError", "%1 の [%2] %3 は改行を含むため、そのまま読み書きできません")) \
  X(eiValueBlankEnds, QT_TRANSLATE_NOOP("EBriskoError", "%1 の [%2] %3 は前後に空白があるため、そのまま読み書きできません")) \
  X(eiValueQuoted, QT_TRANSLATE_NOOP("EBriskoError", "%1 の [%2] %3 は引用符で囲まれているため、そのまま読み書きできません")) \
  X(eiValueTooLong, QT_TRANSLATE_NOOP("EBriskoError", "%1 の [%2] %3 は 2047 文字より長いため、そのまま読み書きできません")) \
  X(eiUntrustedSettings,                                                                         \
    QT_TRANSLATE_NOOP("EBriskoError", "設定ファイル %1 は root 以外のユーザーが変更できる '%2' にあるため、使用できません")) \
  X(eiLinageDefault, QT_TRANSLATE_NOOP("EBriskoError", "最大行数 %1 は使えないため、%2 行とします"))

#define BRISKO_ERROR_ID(Id, Wording) Id,
enum TErrorId : int { BRISKO_ERRORS(BRISKO_ERROR_ID) eiCount };
#undef BRISKO_ERROR_ID

class EBriskoError : public std::runtime_error {
public:
  EBriskoError(TErrorId Id, std::vector<std::string> Args);
  // A text worded already (eiText), such as another library's message.
  explicit EBriskoError(const std::string& Message) : EBriskoError(eiText, {Message}) {}

  TErrorId Id() const { return FId; }
  const std::vector<std::string>& Args() const { return FArgs; }

private:
  TErrorId FId;
  std::vector<std::string> FArgs;
};

// The Japanese wording of Id with its "%1".."%9" still in place.
const char* ErrorWording(TErrorId Id);

// Wording with "%1".."%9" replaced by the arguments, in one pass (an argument
// holding "%2" stays as it is).
std::string FillArguments(const std::string& Wording, const std::vector<std::string>& Args);

// The exception being handled as one of ours: itself, the text of any other
// exception, or eiUnknown. Only inside a catch block.
EBriskoError CurrentError();
