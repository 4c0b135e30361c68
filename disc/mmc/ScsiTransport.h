#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// What a drive's sense data says: its key, the additional sense code and its qualifier.
struct Sense {
  std::uint8_t key = 0;
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;
};

// Sense data in the fixed format (response codes 70h, 71h) or the descriptor format
// (72h, 73h); empty for anything else. Shared by every platform's transport.
std::optional<Sense> senseOf(const std::uint8_t* data, std::size_t size);

// How one MMC command sent to a drive ended.
struct ScsiOutcome {
  enum class Status {
    kGood,            // the command ran: `transferred` bytes of the reply arrived
    kCheckCondition,  // the drive failed or refused it; `sense` says why where it gave sense
    kRefused,         // the platform passes no commands to this drive for this process
    kFailed,          // the transport itself failed; `error` is the system's words
  };
  Status status = Status::kFailed;
  std::size_t transferred = 0;
  std::optional<Sense> sense;
  std::string error;
};

// Sends MMC commands to one open drive: SG_IO on Linux, SCSI pass-through on Windows. The
// commands, their replies' parsers and their checks are the same on every platform.
class ScsiTransport {
 public:
  virtual ~ScsiTransport() = default;

  // Sends `command` and reads at most `replySize` bytes into `reply`; bytes the drive does
  // not write stay as the caller left them (a sentinel there shows a transfer cut short). Only
  // the first `transferred` bytes of a good outcome hold the drive's reply.
  virtual ScsiOutcome send(const std::uint8_t* command, std::size_t commandSize,
                           std::uint8_t* reply, std::size_t replySize) = 0;
};
