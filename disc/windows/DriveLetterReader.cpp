// The disc reader on Windows: the table of contents of the CD drive behind a drive letter,
// in one IOCTL_CDROM_READ_TOC request to the CD-ROM class driver.
#include <windows.h>
#include <winioctl.h>
// After windows.h and winioctl.h, which it builds on.
#include <ntddcdrm.h>

#include <cstdio>
#include <memory>

#include "DiscReader.h"
#include "MmcToc.h"

namespace {

constexpr int kDriveLetters = 26;

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "D:", "D" or "D:\", in either case, as "D:"; empty for anything else.
std::string driveLetterOf(const std::string& name) {
  if (name.empty() || !isAsciiLetter(name[0])) return "";
  const std::string rest = name.substr(1);
  if (!rest.empty() && rest != ":" && rest != ":\\") return "";
  const char letter = static_cast<char>(name[0] & ~0x20);  // upper case
  return {letter, ':'};
}

UINT driveTypeOf(const std::string& letter) { return GetDriveTypeA((letter + "\\").c_str()); }

// The first drive letter of type CD-ROM; empty when there is none.
std::string firstCdDrive() {
  const DWORD letters = GetLogicalDrives();
  for (int i = 0; i < kDriveLetters; ++i) {
    const std::string letter{static_cast<char>('A' + i), ':'};
    if ((letters >> i & 1) != 0 && driveTypeOf(letter) == DRIVE_CDROM) return letter;
  }
  return "";
}

DiscFailure failure(FailureReason reason, const std::string& letter, const std::string& what) {
  return {reason, letter, "drive " + letter + " " + what};
}

// The system's text for an error, without its line end: "(Windows error N)" where it has none.
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

// What an error of opening or reading the drive means; `doing` says which of the two failed.
DiscFailure windowsFailure(DWORD error, const std::string& letter, const char* doing) {
  switch (error) {
    case ERROR_NOT_READY:
    case ERROR_NO_MEDIA_IN_DRIVE:
      return failure(FailureReason::kNoDisc, letter, "holds no disc, or its tray is open");
    case ERROR_ACCESS_DENIED:
      return failure(FailureReason::kNoAccess, letter,
                     "may not be read: access denied; the user needs read access to it");
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return failure(FailureReason::kNoDrive, letter, "does not exist");
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return failure(FailureReason::kNoDrive, letter, "does not answer as a CD drive");
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return failure(FailureReason::kNotReady, letter,
                     "is in use by another program; try again in a moment");
    case ERROR_MEDIA_CHANGED:
      return failure(FailureReason::kNotReady, letter,
                     "has just had its disc changed; try again in a moment");
  }
  return failure(FailureReason::kReadFailed, letter, std::string(doing) + ": " + systemText(error));
}

// The reply has the layout of MMC's READ TOC reply with MSF addresses, which is what the
// class driver sends the drive for it.
DiscReading tableOf(const CDROM_TOC& reply, DWORD replyBytes, const std::string& letter) {
  auto parsed = parseReadTocReply(reinterpret_cast<const std::uint8_t*>(&reply), replyBytes,
                                  TocAddressForm::kMsf);
  if (auto* problem = std::get_if<std::string>(&parsed)) {
    return failure(FailureReason::kBadTable, letter, *problem);
  }
  return std::move(std::get<TableOfContents>(parsed));
}

}  // namespace

DiscReading readDisc(const std::string& drive) {
  const std::string letter = drive.empty() ? firstCdDrive() : driveLetterOf(drive);
  if (letter.empty() && drive.empty()) {
    return DiscFailure{FailureReason::kNoDrive, "",
                       "no CD drive: Windows has no drive letter of type CD-ROM"};
  }
  if (letter.empty()) {
    return DiscFailure{FailureReason::kNoDrive, drive,
                       "'" + drive + "' is not a drive letter; name a CD drive as D:, D or D:\\"};
  }
  const UINT type = driveTypeOf(letter);
  if (type == DRIVE_NO_ROOT_DIR) return failure(FailureReason::kNoDrive, letter, "does not exist");
  if (type != DRIVE_CDROM) return failure(FailureReason::kNoDrive, letter, "is not a CD drive");

  const std::string device = "\\\\.\\" + letter;
  const HANDLE opened =
      CreateFileA(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    return windowsFailure(GetLastError(), letter, "can not be opened");
  }
  const Handle handle(opened);
  CDROM_TOC reply{};
  DWORD replyBytes = 0;
  if (!DeviceIoControl(handle.get(), IOCTL_CDROM_READ_TOC, nullptr, 0, &reply, sizeof reply,
                       &replyBytes, nullptr)) {
    return windowsFailure(GetLastError(), letter, "fails to read its table of contents");
  }
  return tableOf(reply, replyBytes, letter);
}
