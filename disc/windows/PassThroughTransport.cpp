#include "PassThroughTransport.h"

#include <winioctl.h>
// After windows.h and winioctl.h, which it builds on.
#include <ntddscsi.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "DriveLetters.h"

namespace {

// As long as the CD-ROM class driver gives a drive to answer, in seconds.
constexpr ULONG kTimeoutSeconds = 30;
constexpr UCHAR kGoodStatus = 0x00;
// The longest command block the request carries.
constexpr std::size_t kMaxCommandSize = sizeof(SCSI_PASS_THROUGH_DIRECT::Cdb);

// The request with the drive's sense data behind it, where SenseInfoOffset points.
struct PassThroughRequest {
  SCSI_PASS_THROUGH_DIRECT header;
  UCHAR sense[32];
};

// Pass-through refused as such, rather than the command failing: a handle without write
// access, or a driver that takes no commands from this process, or none of this form.
bool refusesPassThrough(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_FUNCTION ||
         error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER ||
         error == ERROR_PRIVILEGE_NOT_HELD;
}

}  // namespace

ScsiOutcome PassThroughTransport::send(const std::uint8_t* command, std::size_t commandSize,
                                       std::uint8_t* reply, std::size_t replySize) {
  ScsiOutcome outcome;
  // The adapter transfers straight into the buffer and may need it aligned beyond a byte:
  // the heap's alignment serves every adapter, a caller's buffer on the stack may not. It
  // starts as the caller's, so that bytes the drive does not write stay as they were.
  std::vector<std::uint8_t> transfer(reply, reply + replySize);
  if (commandSize == 0 || commandSize > kMaxCommandSize || replySize > MAXDWORD) {
    outcome.error = "a command the pass-through request can not carry";
    return outcome;
  }
  PassThroughRequest request{};
  request.header.Length = sizeof request.header;
  request.header.CdbLength = static_cast<UCHAR>(commandSize);
  request.header.SenseInfoLength = sizeof request.sense;
  request.header.DataIn = replySize > 0 ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_UNSPECIFIED;
  request.header.DataTransferLength = static_cast<ULONG>(replySize);
  request.header.TimeOutValue = kTimeoutSeconds;
  request.header.DataBuffer = replySize > 0 ? transfer.data() : nullptr;
  request.header.SenseInfoOffset = offsetof(PassThroughRequest, sense);
  std::copy(command, command + commandSize, request.header.Cdb);

  DWORD returned = 0;
  if (!DeviceIoControl(drive, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                       sizeof request, &returned, nullptr)) {
    const DWORD error = GetLastError();
    outcome.status =
        refusesPassThrough(error) ? ScsiOutcome::Status::kRefused : ScsiOutcome::Status::kFailed;
    outcome.error = systemText(error);
    return outcome;
  }
  // The driver leaves in DataTransferLength what arrived: the allocation less the residue.
  outcome.transferred = std::min<std::size_t>(request.header.DataTransferLength, replySize);
  std::copy(transfer.begin(), transfer.end(), reply);
  if (request.header.ScsiStatus == kGoodStatus) {
    outcome.status = ScsiOutcome::Status::kGood;
    return outcome;
  }
  // A failed command still completes the request: its status and sense tell.
  outcome.status = ScsiOutcome::Status::kCheckCondition;
  outcome.sense = senseOf(
      request.sense, std::min<std::size_t>(request.header.SenseInfoLength, sizeof request.sense));
  if (!outcome.sense) {
    char what[96];
    std::snprintf(what, sizeof what, "the command failed without sense data (status %02Xh)",
                  request.header.ScsiStatus);
    outcome.error = what;
  }
  return outcome;
}
