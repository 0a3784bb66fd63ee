#include "app/SavedLog.h"

#include <QStringDecoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <system_error>

#include "platform/BriskoError.h"

namespace {

// The whole file in one string; a log is cut to its line limit, so it stays small
// enough, and one read is faster than any line-by-line stream.
std::string ReadWhole(const std::string& FileName) {
  const int handle = open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  int error = handle < 0 ? errno : 0;
  struct stat st {};
  if (error == 0 && fstat(handle, &st) != 0) error = errno;
  if (error == 0 && !S_ISREG(st.st_mode)) error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  std::string bytes;
  if (error == 0) {
    bytes.resize(size_t(st.st_size));
    size_t done = 0;
    while (true) {
      if (done == bytes.size()) bytes.resize(done + 65536);  // the file grew meanwhile
      const ssize_t n = read(handle, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error = errno;
      if (n <= 0) break;
      done += size_t(n);
    }
    bytes.resize(done);
  }
  if (handle >= 0) close(handle);
  if (error != 0) throw EBriskoError(eiCannotOpenFile, {FileName, std::system_category().message(error)});
  return bytes;
}

std::string AsUtf8(std::string Bytes) {
  const std::string_view text(Bytes);
  if (text.starts_with("\xEF\xBB\xBF")) return Bytes.substr(3);
  for (const auto& [mark, encoding] : {std::pair{std::string_view("\xFF\xFE"), QStringConverter::Utf16LE},
                                       std::pair{std::string_view("\xFE\xFF"), QStringConverter::Utf16BE}})
    if (text.starts_with(mark)) {
      QStringDecoder decode(encoding);
      return QString(decode(QByteArrayView(text.data() + 2, qsizetype(text.size() - 2)))).toStdString();
    }
  return Bytes;
}

}  // namespace

std::string ReadSavedLog(const std::string& FileName) { return AsUtf8(ReadWhole(FileName)); }

void SplitLogLines(std::string_view Text, const std::function<void(std::string_view)>& Line) {
  size_t start = 0;
  while (start < Text.size()) {
    size_t end = Text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = Text.size();
    Line(Text.substr(start, end - start));
    start = end + (Text.substr(end, 2) == "\r\n" ? 2 : 1);
  }
}
