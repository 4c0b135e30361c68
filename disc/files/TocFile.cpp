#include "TocFile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "TocFileExtras.h"

namespace {

// The mark that follows a data track's start.
constexpr char kDataMark = 'd';

struct Number {
  std::uint32_t value;
  int line;
  bool data;  // a start marked as a data track's
};

DiscFailure malformed(const std::string& name, int line, const std::string& what) {
  std::string where = line > 0 ? name + " line " + std::to_string(line) : name;
  return {FailureReason::kBadTable, name, where + ": " + what};
}

// Some other file's word, such as a whole environment's, is shown by its start alone.
constexpr std::size_t kWordExcerpt = 16;

// A word that is no number. When it is the first, the file is some other file: its size
// says which, and nothing more of its contents shows.
DiscFailure notANumber(const std::string& name, int line, std::string_view word, bool first,
                       std::size_t fileSize) {
  const std::string excerpt = word.size() > kWordExcerpt
                                  ? std::string(word.substr(0, kWordExcerpt)) + "..."
                                  : std::string(word);
  std::string what = "'" + excerpt + "' is not a number of frames";
  if (first) what += "; a file of " + std::to_string(fileSize) + " bytes, no table of contents";
  return malformed(name, line, what);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

DiscExtrasReading parseTocFileText(std::string_view text, const std::string& name) {
  std::vector<Number> numbers;
  TocFileExtras extras;
  int line = 1;
  bool lineStart = true;
  for (std::size_t pos = 0; pos < text.size();) {
    const char c = text[pos];
    if (c == '\n') {
      ++line;
      ++pos;
      lineStart = true;
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
      if (lineStart && TocFileExtras::isKeyword(word)) {
        end = std::min(text.find('\n', pos), text.size());
        if (auto problem = extras.addLine(text.substr(pos, end - pos), line)) {
          return malformed(name, line, *problem);
        }
        pos = end;
        continue;
      }
      lineStart = false;
      const bool isStart = numbers.size() >= 3;
      Number number{0, line, isStart && word.size() > 1 && word.back() == kDataMark};
      const char* wordEnd = word.data() + word.size() - (number.data ? 1 : 0);
      const auto [rest, error] = std::from_chars(word.data(), wordEnd, number.value);
      if (error != std::errc() || rest != wordEnd)
        return notANumber(name, line, word, numbers.empty(), text.size());
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
  toc.starts.reserve(numbers.size() - 3);
  toc.controls.reserve(numbers.size() - 3);
  for (std::size_t i = 3; i < numbers.size(); ++i) {
    toc.starts.push_back(numbers[i].value);
    toc.controls.push_back(numbers[i].data ? kDataTrackControl : 0);
  }
  if (const auto problem = findProblem(toc)) {
    const int problemLine = problem->valueIndex >= 0 ? numbers[problem->valueIndex].line : 0;
    return malformed(name, problemLine, problem->what);
  }
  auto discExtras = extras.extrasFor(toc);
  if (auto* problem = std::get_if<std::pair<int, std::string>>(&discExtras)) {
    return malformed(name, problem->first, problem->second);
  }
  return DiscWithExtras{std::move(toc), std::move(std::get<DiscExtras>(discExtras))};
}

DiscReading parseTocText(std::string_view text, const std::string& name) {
  DiscExtrasReading reading = parseTocFileText(text, name);
  if (auto* failure = std::get_if<DiscFailure>(&reading)) return std::move(*failure);
  return std::move(std::get<DiscWithExtras>(reading).toc);
}

// A folder or a missing path is no disc source.
FailureReason fileErrorReason(int error) {
  const bool denied = error == EACCES || error == EPERM;
  const bool noFile = error == ENOENT || error == ENOTDIR || error == EISDIR || error == ENODEV;
  return denied   ? FailureReason::kNoAccess
         : noFile ? FailureReason::kNoDrive
                  : FailureReason::kReadFailed;
}

DiscFailure unreadableTocFile(const std::string& name, int error) {
  return {fileErrorReason(error), name, name + ": " + std::strerror(error)};
}

DiscFailure oversizedTocFile(const std::string& name) {
  return malformed(
      name, 0,
      "larger than " + std::to_string(kMaxTocFileSize) + " bytes, not a table of contents");
}

DiscReading readTocFile(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return unreadableTocFile(path, errno);
  return readTocText<DiscReading>(path, 0, [&](char* buffer, std::size_t size) -> long {
    const std::size_t got = std::fread(buffer, 1, size, file.get());
    return got == 0 && std::ferror(file.get()) ? -1 : static_cast<long>(got);
  });
}
