#include "DriveLetters.h"

#include <cstdio>

namespace {

constexpr int kDriveLetters = 26;

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string driveLetterOf(const std::string& name) {
  if (name.empty() || !isAsciiLetter(name[0])) return "";
  const std::string rest = name.substr(1);
  if (!rest.empty() && rest != ":" && rest != ":\\") return "";
  const char letter = static_cast<char>(name[0] & ~0x20);  // upper case
  return {letter, ':'};
}

UINT driveTypeOf(const std::string& letter) { return GetDriveTypeA((letter + "\\").c_str()); }

std::vector<std::string> cdDriveLetters() {
  std::vector<std::string> found;
  const DWORD letters = GetLogicalDrives();
  for (int i = 0; i < kDriveLetters; ++i) {
    const std::string letter{static_cast<char>('A' + i), ':'};
    if ((letters >> i & 1) != 0 && driveTypeOf(letter) == DRIVE_CDROM) found.push_back(letter);
  }
  return found;
}

Handle openDriveDevice(const std::string& letter, DWORD access) {
  const std::string device = "\\\\.\\" + letter;
  const HANDLE opened = CreateFileA(device.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return Handle(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
}

Handle openDriveForCommands(const std::string& letter) {
  Handle handle = openDriveDevice(letter, GENERIC_READ | GENERIC_WRITE);
  // Denied write access, or another program holds the drive without sharing writes: reading
  // alone may still be allowed.
  if (handle == nullptr &&
      (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_SHARING_VIOLATION)) {
    handle = openDriveDevice(letter, GENERIC_READ);
  }
  return handle;
}

std::string systemText(DWORD error) {
  char text[256];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ' || text[length - 1] == '.')) {
    --length;
  }
  char code[32];
  std::snprintf(code, sizeof code, "(Windows error %lu)", static_cast<unsigned long>(error));
  return length > 0 ? std::string(text, length) + " " + code : code;
}
