#include "ImageFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <optional>

namespace {

int seek(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
  return ::_fseeki64(file, static_cast<__int64>(offset), SEEK_SET);
#else
  return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::variant<ImageFile, int> ImageFile::open(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    return std::filesystem::is_directory(status) ? EISDIR : ENODEV;
  }
  Handle file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return errno;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return EIO;
  return ImageFile(std::move(file), size);
}

std::size_t ImageFile::readAt(std::uint64_t offset, std::size_t count, std::uint8_t* out) {
  if (seek(file.get(), offset) != 0) return 0;
  return std::fread(out, 1, count, file.get());
}

std::optional<std::string> pathInSheetFolder(const std::string& sheetPath,
                                             const std::string& name) {
  const bool driveLetter =
      name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
  if (name.empty() || isSeparator(name.front()) || driveLetter) return std::nullopt;
  std::string relative = name;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  for (std::size_t start = 0; start <= relative.size();) {
    const std::size_t end = std::min(relative.find('/', start), relative.size());
    if (relative.compare(start, end - start, "..") == 0) return std::nullopt;
    start = end + 1;
  }
  const std::size_t folderEnd = sheetPath.find_last_of("/\\");
  const std::string folder =
      folderEnd == std::string::npos ? std::string() : sheetPath.substr(0, folderEnd + 1);
  // A link in the folder could lead anywhere: the sheet's author did not make it for us.
  for (std::size_t end = relative.find('/');; end = relative.find('/', end + 1)) {
    std::error_code error;
    const std::string part = folder + relative.substr(0, end);
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(part, error))) {
      return std::nullopt;
    }
    if (end == std::string::npos) return folder + relative;
  }
}
