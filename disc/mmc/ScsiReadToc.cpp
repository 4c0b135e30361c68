#include "ScsiReadToc.h"

#include <array>

#include "DriveFailures.h"
#include "ScsiSense.h"

namespace {

// A unit attention is reported once per event (a disc change, a reset, a power-on); a few
// of them in a row can happen, an endless series only on a broken drive.
constexpr int kMaxAttempts = 3;
constexpr std::uint8_t kUnitAttention = 0x6;

}  // namespace

std::optional<DiscReading> readTocThrough(ScsiTransport& drive, const std::string& path,
                                          TocAddressForm form) {
  static const std::string kDoing = "reading the table of contents";
  const std::array<std::uint8_t, 10> command = readTocCommand(form);
  std::array<std::uint8_t, kReadTocReplySize> reply;
  for (int attempt = 1;; ++attempt) {
    // What a drive says it sent but did not write reads as zeros, never an earlier attempt's.
    reply.fill(0);
    const ScsiOutcome outcome =
        drive.send(command.data(), command.size(), reply.data(), reply.size());
    if (outcome.status == ScsiOutcome::Status::kRefused) return std::nullopt;
    if (deliveredReply(outcome)) {
      auto parsed = parseReadTocReply(reply.data(), outcome.transferred, form);
      if (auto* toc = std::get_if<TableOfContents>(&parsed)) return DiscReading(std::move(*toc));
      return driveFailure(FailureReason::kBadTable, path, std::get<std::string>(parsed));
    }
    if (outcome.sense && outcome.sense->key == kUnitAttention && attempt < kMaxAttempts) continue;
    return failureFor(outcome, path, kDoing);
  }
}
