// What a disc's layout costs on the (fake) drive, in one run: the search of its boundaries
// (LayoutSearch) against reading every sector's Q data, 26 sectors a command, and taking
// the boundaries from that; READ CDs sent and wall time of each (medians), and their ratios.
// The disc: 15 tracks over 60 minutes, each with a two-second pregap, three with index
// points; the drive takes FAKE_CDROM_LATENCY_US a command (scripts/bench.sh sets 500).
//
// Runs with the fake drive preloaded; FAKE_CDROM_DEVICE names its device file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "AudioDrive.h"
#include "LayoutSearch.h"

namespace {

constexpr int kRuns = 5;
constexpr std::uint32_t kSectorsPerCommand = 26;

// Counts the commands of a QFrames it passes them to.
class CountedQ : public QFrames {
 public:
  explicit CountedQ(QFrames& q) : q(q) {}
  QFramesRead read(std::uint32_t lba, std::uint32_t count) override {
    ++commands;
    return q.read(lba, count);
  }
  QFrames& q;
  unsigned commands = 0;
};

// Every sector's Q, as tools that scan the whole disc read it: the boundaries where the
// track or index changes.
unsigned scanEverySector(QFrames& q, const TableOfContents& toc) {
  unsigned boundaries = 0;
  unsigned last = 0;
  for (std::uint32_t lba = 0; lba + kLeadInFrames < toc.leadOut; lba += kSectorsPerCommand) {
    const std::uint32_t count = std::min(kSectorsPerCommand, toc.leadOut - kLeadInFrames - lba);
    for (const QFrame& frame : q.read(lba, count).frames) {
      const unsigned key = frame.position.track * 100 + frame.position.index;
      boundaries += key != last;
      last = key;
    }
  }
  return boundaries;
}

double median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  std::string toc = "1 15 270150";
  std::string layout;
  for (unsigned track = 1; track <= 15; ++track) {
    toc += " " + std::to_string(150 + (track - 1) * 18000);
    if (track > 1) layout += "pregap " + std::to_string(track) + " 150 ";
    if (track % 5 == 0) {
      layout += "index " + std::to_string(track) + " " +
                std::to_string(150 + (track - 1) * 18000 + 6000) + " ";
    }
  }
  setenv("FAKE_CDROM_TOC", toc.c_str(), 1);
  setenv("FAKE_CDROM_LAYOUT", layout.c_str(), 1);
  AudioDriveOpening opening = openAudioDrive(getenv("FAKE_CDROM_DEVICE"));
  if (auto* failure = std::get_if<DiscFailure>(&opening)) {
    std::fprintf(stderr, "%s\n", failure->detail.c_str());
    return 1;
  }
  AudioDrive& drive = *std::get<std::unique_ptr<AudioDrive>>(opening);
  std::vector<double> searchMs, scanMs;
  unsigned searchCommands = 0, scanCommands = 0;
  bool complete = true;
  for (int run = 0; run < kRuns; ++run) {
    CountedQ searched(drive.subchannel());
    auto start = std::chrono::steady_clock::now();
    auto found = LayoutSearch(searched, drive.sectors(), drive.toc(), drive.toc().leadOut).run();
    searchMs.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
    complete &= std::holds_alternative<DiscLayout>(found) && std::get<DiscLayout>(found).complete();
    searchCommands = searched.commands;

    CountedQ scanned(drive.subchannel());
    start = std::chrono::steady_clock::now();
    scanEverySector(scanned, drive.toc());
    scanMs.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
    scanCommands = scanned.commands;
  }
  const double search = median(searchMs), scan = median(scanMs);
  std::printf(
      "layout of 15 tracks, 60 min (%s): search %u READ CDs, %.1f ms; every sector's Q "
      "%u READ CDs, %.1f ms; scan / search: %.1fx commands, %.1fx time\n",
      complete ? "complete" : "INCOMPLETE", searchCommands, search, scanCommands, scan,
      static_cast<double>(scanCommands) / searchCommands, scan / search);
  return complete ? 0 : 1;
}
