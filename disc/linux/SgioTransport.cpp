#include "SgioTransport.h"

#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// As long as the kernel's own CD-ROM ioctls give a drive to answer.
constexpr unsigned kTimeoutMilliseconds = 30000;
// A signal may end the wait before the command was sent; it is sent again, a few times.
constexpr int kMaxInterruptions = 3;
// The driver status bit that says sense data came back: no failure in itself.
constexpr unsigned kDriverSense = 0x08;

// SG_IO refused as such, rather than the command failing: not offered for this node, or
// not allowed to this process.
bool refusesScsi(int error) {
  return error == ENOTTY || error == EINVAL || error == EPERM || error == EACCES ||
         error == ENOSYS || error == EOPNOTSUPP;
}

}  // namespace

ScsiOutcome SgioTransport::send(const std::uint8_t* command, std::size_t commandSize,
                                std::uint8_t* reply, std::size_t replySize) {
  std::array<std::uint8_t, 32> senseData{};
  std::vector<std::uint8_t> commandBytes(command, command + commandSize);
  ScsiOutcome outcome;
  for (int attempt = 1;; ++attempt) {
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.cmd_len = static_cast<unsigned char>(commandBytes.size());
    io.cmdp = commandBytes.data();
    io.dxfer_len = static_cast<unsigned>(replySize);
    io.dxferp = reply;
    io.mx_sb_len = static_cast<unsigned char>(senseData.size());
    io.sbp = senseData.data();
    io.timeout = kTimeoutMilliseconds;
    if (::ioctl(node, SG_IO, &io) != 0) {
      const int error = errno;
      if (error == EINTR && attempt < kMaxInterruptions) continue;
      outcome.status =
          refusesScsi(error) ? ScsiOutcome::Status::kRefused : ScsiOutcome::Status::kFailed;
      outcome.error = std::strerror(error);
      return outcome;
    }
    // Only what the drive transferred counts: the allocation less the residue it reports.
    const std::size_t missing =
        io.resid > 0 ? std::min<std::size_t>(static_cast<std::size_t>(io.resid), replySize) : 0;
    outcome.transferred = replySize - missing;
    if (io.status == 0 && io.host_status == 0 && (io.driver_status & ~kDriverSense) == 0) {
      outcome.status = ScsiOutcome::Status::kGood;
      return outcome;
    }
    outcome.status = ScsiOutcome::Status::kCheckCondition;
    outcome.sense =
        senseOf(senseData.data(), std::min<std::size_t>(io.sb_len_wr, senseData.size()));
    if (!outcome.sense) {
      char what[128];
      std::snprintf(what, sizeof what,
                    "the command failed without sense data (status %02Xh, host status %02Xh, "
                    "driver status %02Xh)",
                    io.status, io.host_status, io.driver_status);
      outcome.error = what;
    }
    return outcome;
  }
}
