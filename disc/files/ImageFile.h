#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <variant>

// A file of a disc image, opened once for reading by offset. Only a regular file is opened:
// a FIFO would block, a device is no image.
class ImageFile {
 public:
  // The file, or the errno value of why it could not be opened.
  static std::variant<ImageFile, int> open(const std::string& path);

  std::uint64_t size() const { return bytes; }
  // Reads `count` bytes at `offset`; how many arrived (fewer at the file's end).
  std::size_t readAt(std::uint64_t offset, std::size_t count, std::uint8_t* out);

 private:
  using Handle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
  ImageFile(Handle file, std::uint64_t bytes) : file(std::move(file)), bytes(bytes) {}

  Handle file;
  std::uint64_t bytes;
};

// Where a file that a sheet names lies: `name` taken from the sheet's folder, either
// separator allowed. Refused (nullopt) is a name that could lead out of that folder: an
// absolute one, one with a drive letter, one with a ".." part, or one that passes through a
// symbolic link.
std::optional<std::string> pathInSheetFolder(const std::string& sheetPath, const std::string& name);
