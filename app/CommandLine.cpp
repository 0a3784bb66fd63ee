#include "app/CommandLine.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>

#include "platform/BriskoError.h"
#include "platform/FileHandle.h"


namespace {

bool IsSwitch(const std::string& Argument) { return !Argument.empty() && Argument[0] == '-'; }

char LowerAscii(char C) { return C >= 'A' && C <= 'Z' ? char(C - 'A' + 'a') : C; }

// The switches we add to the two of old, matched whole as GNU tools do.
bool ApplyWholeSwitch(const std::string& Argument, TCommandLine& Result) {
  struct TWhole {
    const char* Name;
    bool TCommandLine::*Field;
  };
  static const TWhole wholes[] = {
      {"-h", &TCommandLine::Help},    {"--help", &TCommandLine::Help},       {"-V", &TCommandLine::Version},
      {"--version", &TCommandLine::Version}, {"-n", &TCommandLine::Test},   {"--dry-run", &TCommandLine::Test},
      {"--test", &TCommandLine::Test}, {"-v", &TCommandLine::Verbose},       {"--verbose", &TCommandLine::Verbose},
      {"--show-log", &TCommandLine::ShowLog},
  };
  for (const TWhole& whole : wholes) {
    if (Argument != whole.Name) continue;
    Result.*whole.Field = true;
    return true;
  }
  return false;
}

void ApplySwitch(const std::string& Argument, TCommandLine& Result) {
  const char letter = Argument.size() >= 2 ? LowerAscii(Argument[1]) : '\0';
  if (letter == 'r') {
    Result.Run = true;
  } else if (letter == 'w') {
    if (Argument.size() >= 3 && Argument[2] == '+') Result.WindowState = swsMaximized;
    if (Argument.size() >= 3 && Argument[2] == '-') Result.WindowState = swsMinimized;
  } else if (!ApplyWholeSwitch(Argument, Result) && Result.Unrecognized.empty()) {
    Result.Unrecognized = Argument;
  }
}

bool NonEmptyEnv(const char* Name) {
  const char* value = std::getenv(Name);
  return value && *value;
}

// A Wayland compositor listens on a socket named by WAYLAND_DISPLAY, relative to
// XDG_RUNTIME_DIR unless absolute.
bool WaylandAnswers() {
  if (!NonEmptyEnv("WAYLAND_DISPLAY")) return false;
  std::string path = std::getenv("WAYLAND_DISPLAY");
  if (path[0] != '/') {
    if (!NonEmptyEnv("XDG_RUNTIME_DIR")) return false;
    path = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/" + path;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const TFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return fd.Get() >= 0 && connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// The X server is asked the way the toolkit will ask it, through libxcb, which the
// toolkit's own X support loads anyway; where that library is missing we cannot
// tell, and leave the answer to the toolkit.
bool XServerAnswers() {
  void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!xcb) return true;
  using TConnect = void* (*)(const char*, int*);
  using THasError = int (*)(void*);
  using TDisconnect = void (*)(void*);
  const auto connect = reinterpret_cast<TConnect>(dlsym(xcb, "xcb_connect"));
  const auto hasError = reinterpret_cast<THasError>(dlsym(xcb, "xcb_connection_has_error"));
  const auto disconnect = reinterpret_cast<TDisconnect>(dlsym(xcb, "xcb_disconnect"));
  bool answers = true;
  if (connect && hasError && disconnect) {
    void* connection = connect(nullptr, nullptr);
    answers = hasError(connection) == 0;
    disconnect(connection);
  }
  dlclose(xcb);
  return answers;
}

TTextWording& TextWording() {
  static TTextWording wording;
  return wording;
}

void ReplaceAll(std::string& Text, const std::string& What, const std::string& With) {
  for (size_t at = Text.find(What); at != std::string::npos; at = Text.find(What, at + With.size()))
    Text.replace(at, What.size(), With);
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& Arguments) {
  TCommandLine result;
  for (const std::string& argument : Arguments) {
    if (IsSwitch(argument))
      ApplySwitch(argument, result);
    else
      result.Files.push_back(argument);
  }
  return result;
}

std::string ResolvePatternArgument(const std::string& Argument) {
  if (Argument.empty() || Argument[0] == '/') return Argument;
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(Argument, ec);
  return ec ? Argument : absolute.string();
}

std::string PatternFileFault(const std::string& FileName) {
  const TFd fd(open(FileName.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status{};
  if (fd.Get() < 0 || fstat(fd.Get(), &status) != 0) return std::strerror(errno);
  return S_ISDIR(status.st_mode) ? std::strerror(EISDIR) : std::string();
}

bool HasDisplay() { return NonEmptyEnv("DISPLAY") || NonEmptyEnv("WAYLAND_DISPLAY"); }

bool DisplayOpens() { return WaylandAnswers() || (NonEmptyEnv("DISPLAY") && XServerAnswers()); }

// ---------------------------------------------------------------------------
// Texts

void SetTextWording(TTextWording Wording) { TextWording() = std::move(Wording); }

std::string Say(const char* Text, const std::vector<std::string>& Args, int64_t Count) {
  const int count = Count < 0 ? -1 : int(std::min<int64_t>(Count, 0x7fffffff));
  std::string text = TextWording() ? TextWording()(Text, count) : std::string(Text);
  if (Count >= 0) ReplaceAll(text, "%n", std::to_string(Count));
  return FillArguments(text, Args);
}

std::string CommandLineUsage() {
  return Say(QT_TRANSLATE_NOOP(
      "TRunText",
      "使い方: brisko [-W+|-W-] [--show-log] [パターン.rmp ...]\n"
      "        brisko -R [-v] パターン.rmp\n"
      "        brisko -n パターン.rmp\n"
      "規則に従ってファイルを削除します。ウィンドウを開き、パターンファイルを順に読み込みます\n"
      "（最後のものが開いたままになります）。\n"
      "\n"
      "  -R           パターンの全アイテムを選択してすぐに実行し、終わったら終了する。\n"
      "               ディスプレイがなければ（cron、systemd タイマー）ウィンドウなしで実行する\n"
      "  -W+          ウィンドウを最大化して開く\n"
      "  -W-          ウィンドウを最小化して開く\n"
      "  -n           パターンの全アイテムをテストする: 結果行を標準出力に書き、何も削除せず、\n"
      "               ログファイルには触れない。ディスプレイは要らない。-R と共に指定しても同じ\n"
      "  --dry-run    -n と同じ\n"
      "  --test       -n と同じ\n"
      "  -v           -R と共に: 結果行をログと同じく標準出力にも書き、終わりに集計を書く\n"
      "  --verbose    -v と同じ\n"
      "  --show-log   ログファイルをログ欄に表示してウィンドウを開く\n"
      "  -h           このヘルプを表示して終了する\n"
      "  --help       -h と同じ\n"
      "  -V           バージョンを表示して終了する\n"
      "  --version    -V と同じ\n"
      "\n"
      "R と W の後の文字は大文字でも小文字でもかまいません（-r、-Run、-w+）。ほかのスイッチは\n"
      "示したとおりに書きます。知らないスイッチがあれば、何もせずに状態 2 で終了します。\n"
      "\"/\" で始まる引数はパスです。\n"
      "\n"
      "-n と、-v を付けた -R は、最後に集計を 1 行、標準エラー出力に書きます: テストまたは\n"
      "削除したエントリーの数、そのうちごみ箱へ移した数、解放した（テストでは解放される）\n"
      "容量、失敗の数。\n"
      "\n"
      "-R と -n の終了状態:\n"
      "  0      期限の来たエントリーをすべて削除した（テストでは一覧にした）\n"
      "  1      エラーで終わった、パターンファイルを読めなかった、または記録を残せなかった\n"
      "  2      使い方の誤り（知らないスイッチ、パターンファイルの指定がない）\n"
      "  3      最後まで実行したが、削除できないエントリーがあった\n"
      "  128+N  シグナル N（SIGTERM、SIGINT、SIGHUP）で中断した。記録は残る\n"));
}

std::string UnrecognizedOptionMessage(const std::string& Argument) {
  return Say(QT_TRANSLATE_NOOP("TRunText",
                               "brisko: '%1' は不明なオプションです\n"
                               "詳しくは 'brisko --help' を実行してください。"),
             {Argument});
}

std::string DataSizeText(uint64_t Bytes) {
  if (Bytes < 1024) return Say(QT_TRANSLATE_N_NOOP("TRunText", "%n バイト"), {}, int64_t(Bytes));
  static const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  // Tenths, rounded, in integers: the locale's decimal mark plays no part. The unit
  // is the largest that leaves a figure under 1024 once rounded ("1.0 MiB", never
  // "1024.0 KiB").
  auto tenthsOf = [Bytes](unsigned __int128 Unit) { return uint64_t((static_cast<unsigned __int128>(Bytes) * 10 + Unit / 2) / Unit); };
  unsigned __int128 unit = 1024;
  size_t index = 0;
  while (index + 1 < std::size(units) && tenthsOf(unit) >= 10240) {
    unit *= 1024;
    ++index;
  }
  const uint64_t tenths = tenthsOf(unit);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + units[index];
}

std::string SummaryLine(const TRunSummary& Summary, bool TestRun, bool Stopped) {
  // A Test measures folders due whole as themselves only: what it forecasts is a floor.
  const std::string space = Summary.BytesLowerBound
                                ? Say(QT_TRANSLATE_NOOP("TRunText", "%1 以上"), {DataSizeText(Summary.Bytes)})
                                : DataSizeText(Summary.Bytes);
  const std::vector<std::string> figures = {std::to_string(Summary.Trashed), space, std::to_string(Summary.Failed)};
  std::string line =
      TestRun ? Say(QT_TRANSLATE_N_NOOP("TRunText", "テスト: %n 件、うちごみ箱へ %1 件、解放される容量 %2、失敗 %3 件"),
                    figures, Summary.Entries)
              : Say(QT_TRANSLATE_N_NOOP("TRunText", "実行: %n 件削除、うちごみ箱へ %1 件、解放した容量 %2、失敗 %3 件"),
                    figures, Summary.Removed);
  if (Stopped) line += Say(QT_TRANSLATE_NOOP("TRunText", "（中断）"));
  return line;
}

void TRunOutput::Write(const std::vector<std::string>& Lines) {
  if (!FLines || FFailed || Lines.empty()) return;
  std::string text;
  for (const std::string& line : Lines) (text += line) += '\n';
  for (size_t done = 0; done < text.size();) {
    const ssize_t written = write(STDOUT_FILENO, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      FFailed = true;
      throw EBriskoError(
          Say(QT_TRANSLATE_NOOP("TRunText", "標準出力に書き込めません: %1"), {std::strerror(written < 0 ? errno : EIO)}));
    }
    done += size_t(written);
  }
}

void TRunOutput::End(const TRunSummary& Summary, bool TestRun, bool Stopped) {
  if (!FSummary) return;
  std::fprintf(stderr, "%s\n", SummaryLine(Summary, TestRun, Stopped).c_str());
  std::fflush(stderr);
}
