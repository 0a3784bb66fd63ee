#include "app/ResultCodes.h"

#include <QCoreApplication>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace {

struct TCodeText {
  int Code;
  const char* Text;
};

// The codes the removal and the trash answer themselves, worded for what they mean
// here rather than as the C library's general texts.
const TCodeText CodeTexts[] = {
    {EPERM, QT_TRANSLATE_NOOP("TResultCodes", "操作が許可されていません")},
    {ENOENT, QT_TRANSLATE_NOOP("TResultCodes", "エントリは既にありません")},
    {EIO, QT_TRANSLATE_NOOP("TResultCodes", "入出力エラー")},
    {EACCES, QT_TRANSLATE_NOOP("TResultCodes", "アクセスが拒否されました")},
    {EBUSY, QT_TRANSLATE_NOOP("TResultCodes", "使用中か、別のファイルシステムがマウントされています")},
    {EEXIST, QT_TRANSLATE_NOOP("TResultCodes", "ごみ箱に同じ名前の記録を作れません")},
    {EXDEV, QT_TRANSLATE_NOOP("TResultCodes", "このファイルシステムにはごみ箱がありません")},
    {ENOTDIR, QT_TRANSLATE_NOOP("TResultCodes", "パスの途中がフォルダではありません")},
    {EISDIR, QT_TRANSLATE_NOOP("TResultCodes", "ファイルがあった場所にフォルダがあります")},
    {EINVAL, QT_TRANSLATE_NOOP("TResultCodes", "削除できない名前です")},
    {EMFILE, QT_TRANSLATE_NOOP("TResultCodes", "フォルダが深すぎます（開けるファイル数の上限）")},
    {ENOSPC, QT_TRANSLATE_NOOP("TResultCodes", "空き領域がありません")},
    {EROFS, QT_TRANSLATE_NOOP("TResultCodes", "読み取り専用のファイルシステムです")},
    {ENAMETOOLONG, QT_TRANSLATE_NOOP("TResultCodes", "名前が長すぎます")},
    {ELOOP, QT_TRANSLATE_NOOP("TResultCodes", "パスの途中にリンクがあります")},
    {ENOTEMPTY, QT_TRANSLATE_NOOP("TResultCodes", "空だったフォルダに中身があります")},
    {ESTALE, QT_TRANSLATE_NOOP("TResultCodes", "一覧を作った後でエントリが変わりました")},
    {ECANCELED, QT_TRANSLATE_NOOP("TResultCodes", "停止したため、フォルダの中身の一部が残っています")},
};

}  // namespace

QString ResultCodeText(int Code) {
  if (Code == 0) return {};
  for (const TCodeText& entry : CodeTexts)
    if (entry.Code == Code) return QCoreApplication::translate("TResultCodes", entry.Text);
  return QString::fromLocal8Bit(std::strerror(Code));
}

std::optional<int> ResultLineCode(std::string_view Line) {
  // "yyyy/mm/dd hh:nn:ss" and the mark come first; the code follows " 0x".
  const size_t prefix = Line.find(" 0x");
  if (prefix == std::string_view::npos || prefix > 24) return std::nullopt;
  const char* first = Line.data() + prefix + 3;
  const char* last = Line.data() + Line.size();
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(first, last, value, 16);
  if (error != std::errc() || end - first < 4 || (end != last && *end != ' ')) return std::nullopt;
  return static_cast<int>(value);
}

bool IsFailureCode(int Code) { return Code != 0 && Code != ENOENT; }
