#include "TocFile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A table of contents takes a few hundred bytes; anything this large is some other file.
constexpr std::size_t kMaxFileSize = std::size_t{64} * 1024;

struct Number {
  std::uint32_t value;
  int line;
};

DiscFailure malformed(const std::string& name, int line, const std::string& what) {
  std::string where = line > 0 ? name + " line " + std::to_string(line) : name;
  return {FailureReason::kBadTable, name, where + ": " + what};
}

// A file that can not be opened or read: a folder or a missing path is no disc source.
DiscFailure unreadable(const std::string& name, int error) {
  const bool denied = error == EACCES || error == EPERM;
  const bool noFile = error == ENOENT || error == ENOTDIR || error == EISDIR;
  return {denied   ? FailureReason::kNoAccess
          : noFile ? FailureReason::kNoDrive
                   : FailureReason::kReadFailed,
          name, name + ": " + std::strerror(error)};
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

DiscReading parseTocText(std::string_view text, const std::string& name) {
  std::vector<Number> numbers;
  int line = 1;
  for (std::size_t pos = 0; pos < text.size();) {
    const char c = text[pos];
    if (c == '\n') {
      ++line;
      ++pos;
    } else if (isBlank(c)) {
      ++pos;
    } else if (c == '#') {
      pos = text.find('\n', pos);
      if (pos == std::string_view::npos) break;
    } else {
      std::size_t end = pos;
      while (end < text.size() && text[end] != '\n' && text[end] != '#' && !isBlank(text[end])) {
        ++end;
      }
      const std::string_view word = text.substr(pos, end - pos);
      Number number{0, line};
      const auto [rest, error] =
          std::from_chars(word.data(), word.data() + word.size(), number.value);
      if (error != std::errc() || rest != word.data() + word.size()) {
        return malformed(name, line, "'" + std::string(word) + "' is not a number of frames");
      }
      numbers.push_back(number);
      pos = end;
    }
  }

  if (numbers.size() < 4) {
    return malformed(name, 0,
                     "holds " + std::to_string(numbers.size()) +
                         " numbers, not a table of contents (first track, last track, lead-out, "
                         "then every track's start)");
  }
  TableOfContents toc;
  toc.firstTrack = numbers[0].value;
  toc.lastTrack = numbers[1].value;
  toc.leadOut = numbers[2].value;
  for (std::size_t i = 3; i < numbers.size(); ++i) toc.starts.push_back(numbers[i].value);
  toc.controls.assign(toc.starts.size(), 0);
  if (const auto problem = findProblem(toc)) {
    const int problemLine = problem->valueIndex >= 0 ? numbers[problem->valueIndex].line : 0;
    return malformed(name, problemLine, problem->what);
  }
  return toc;
}

DiscReading readTocFile(const std::string& path) {
  const std::string& name = path;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return unreadable(name, errno);
  std::string text(kMaxFileSize + 1, '\0');
  const std::size_t size = std::fread(text.data(), 1, text.size(), file.get());
  if (std::ferror(file.get())) {
    return unreadable(name, errno);
  }
  if (size > kMaxFileSize) {
    return malformed(
        name, 0, "larger than " + std::to_string(kMaxFileSize) + " bytes, not a table of contents");
  }
  text.resize(size);
  return parseTocText(text, name);
}
