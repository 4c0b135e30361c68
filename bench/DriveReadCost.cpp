// What reading a disc in a CD drive costs, side by side on the same (fake) drive: a whole
// getCDDBNumbers call through the library's parts, the disc reader alone (readDisc), and
// libdiscid (discid_read_sparse and discid_get_freedb_id), for discs of 1, 22 and 99
// tracks, with the drive answering at once and taking 0.5 ms a command. Prints medians in
// microseconds a read, wall time and processor time, each ratio to libdiscid, and the drive
// commands a read sends.
//
// Runs with the fake drive preloaded (scripts/bench.sh does it); FAKE_CDROM_DEVICE names
// its device file. Usage: drive_read_cost SAMPLE-DISCS-FOLDER
//
// Given a reader (call, readDisc or libdiscid), a track count (1, 22 or 99) and a count, it
// only makes that many reads of that disc, untimed, for callgrind to count instructions.
#include <discid/discid.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../tests/unit/JniCall.h"
#include "DiscReader.h"
#include "TocFile.h"

namespace {

constexpr int kSamples = 15;
constexpr double kSampleMicroseconds = 5000;  // each sample repeats a read for this long

using Read = std::function<bool()>;

double microsecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
      .count();
}

// The processor time this process has used, in microseconds: a busy machine stretches a
// read's wall time, far less the processor time it takes.
double cpuMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

double median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// The medians of one read of each, wall time and processor time.
struct Medians {
  std::vector<double> wall;
  std::vector<double> cpu;
};

// The median times of one read of each, the samples of all taken in turns so that the
// machine's changes of pace fall on all alike.
Medians medianMicroseconds(const std::vector<Read>& reads) {
  std::vector<int> repeats;
  for (const Read& read : reads) {
    const auto start = std::chrono::steady_clock::now();
    read();
    repeats.push_back(
        std::max(1, static_cast<int>(kSampleMicroseconds / microsecondsSince(start))));
  }
  std::vector<std::vector<double>> wall(reads.size());
  std::vector<std::vector<double>> cpu(reads.size());
  for (int sample = 0; sample < kSamples; ++sample) {
    for (std::size_t i = 0; i < reads.size(); ++i) {
      const auto start = std::chrono::steady_clock::now();
      const double cpuStart = cpuMicroseconds();
      for (int n = 0; n < repeats[i]; ++n) reads[i]();
      cpu[i].push_back((cpuMicroseconds() - cpuStart) / repeats[i]);
      wall[i].push_back(microsecondsSince(start) / repeats[i]);
    }
  }
  Medians medians;
  for (std::size_t i = 0; i < reads.size(); ++i) {
    medians.wall.push_back(median(wall[i]));
    medians.cpu.push_back(median(cpu[i]));
  }
  return medians;
}

// The drive commands one read sends, as the fake drive logs them.
int commandsOf(const Read& read, const std::string& log) {
  std::ofstream(log, std::ios::trunc);
  setenv("FAKE_CDROM_LOG", log.c_str(), 1);
  read();
  unsetenv("FAKE_CDROM_LOG");
  std::ifstream lines(log);
  return static_cast<int>(std::count(std::istreambuf_iterator<char>(lines), {}, '\n'));
}

std::string fakeDriveTable(const TableOfContents& toc) {
  std::string numbers = std::to_string(toc.firstTrack) + " " + std::to_string(toc.lastTrack) + " " +
                        std::to_string(toc.leadOut);
  for (const std::uint32_t start : toc.starts) numbers += " " + std::to_string(start);
  return numbers;
}

// The fake drive's own work for one command: what the rows without latency count for each
// command besides the reader's (a kernel and a real drive take more).
double fakeCommandMicroseconds(const char* device) {
  const int node = ::open(device, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  cdrom_tocentry entry{};
  entry.cdte_track = CDROM_LEADOUT;
  entry.cdte_format = CDROM_LBA;
  constexpr int kCommands = 2000;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kCommands; ++i) ::ioctl(node, CDROMREADTOCENTRY, &entry);
  const double microseconds = microsecondsSince(start) / kCommands;
  ::close(node);
  return microseconds;
}

// Gives the fake drive the sample disc of `tracks` tracks, which it returns.
TableOfContents loadDisc(const std::string& folder, int tracks) {
  const char* name = tracks == 1 ? "single-track" : tracks == 22 ? "22-tracks" : "99-tracks";
  TableOfContents toc = std::get<TableOfContents>(readTocFile(folder + "/" + name + ".toc"));
  setenv("FAKE_CDROM_TOC", fakeDriveTable(toc).c_str(), 1);
  return toc;
}

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const char* device = std::getenv("FAKE_CDROM_DEVICE");
  if ((argc != 2 && argc != 5) || device == nullptr) {
    std::fprintf(stderr,
                 "usage: FAKE_CDROM_DEVICE=FILE LD_PRELOAD=FAKE-DRIVE %s DISCS "
                 "[call|readDisc|libdiscid TRACKS READS]\n",
                 argv[0]);
    return 2;
  }
  setenv("TOCMATE_DRIVE", device, 1);
  const std::string log = std::string(device) + ".commands";

  std::string freedbId;
  int status = 0;
  const std::vector<Read> reads = {
      [] { return callNative(Java_cd_Tocmate_getCDDBNumbers)[0] != ' '; },
      [device] { return std::holds_alternative<TableOfContents>(readDisc(device)); },
      [device, &freedbId] {
        DiscId* disc = discid_new();
        const bool read = discid_read_sparse(disc, device, 0) != 0;
        if (read) freedbId = discid_get_freedb_id(disc);
        discid_free(disc);
        return read;
      },
  };
  if (argc == 5) {
    const std::string names[] = {"call", "readDisc", "libdiscid"};
    const auto reader = std::find(std::begin(names), std::end(names), argv[2]) - names;
    if (reader == 3) return 2;
    loadDisc(argv[1], std::atoi(argv[3]));
    for (int n = std::atoi(argv[4]); n > 0; --n) status |= reads[reader]() ? 0 : 1;
    return status;
  }

  std::printf("%-10s %-8s %10s %10s %10s %7s %8s %9s %9s %6s  %s\n", "", "drive", "whole call",
              "readDisc", "libdiscid", "ratio", "ratio", "CPU: call", "libdiscid", "ratio",
              "commands");
  std::printf("%-10s %-8s %10s %10s %10s %7s %8s %9s %9s %6s  %s\n", "disc", "latency", "(us)",
              "(us)", "(us)", "call", "readDisc", "(us)", "(us)", "call", "Tocmate/libdiscid");
  std::string fakeCosts;
  for (const int latency : {0, 500}) {
    setenv("FAKE_CDROM_LATENCY_US", std::to_string(latency).c_str(), 1);
    for (const int trackCount : {1, 22, 99}) {
      const TableOfContents toc = loadDisc(argv[1], trackCount);
      for (const Read& read : reads) status |= read() ? 0 : 1;
      const std::string numbers = callNative(Java_cd_Tocmate_getCDDBNumbers);
      if (status != 0 || lowerCase(numbers.substr(0, 8)) != freedbId) {
        std::fprintf(stderr, "%d tracks: the readers disagree: Tocmate '%s', libdiscid '%s'\n",
                     trackCount, numbers.c_str(), freedbId.c_str());
        return 1;
      }
      const Medians medians = medianMicroseconds(reads);
      const std::vector<double>& wall = medians.wall;
      const std::vector<double>& cpu = medians.cpu;
      const std::string tracks =
          std::to_string(toc.trackCount()) + (toc.trackCount() == 1 ? " track" : " tracks");
      const std::string commands = std::to_string(commandsOf(reads[0], log)) + "/" +
                                   std::to_string(commandsOf(reads[2], log));
      if (latency == 0) {
        char cost[64];
        std::snprintf(cost, sizeof cost, "%s%.1f us (%s)", fakeCosts.empty() ? "" : ", ",
                      fakeCommandMicroseconds(device), tracks.c_str());
        fakeCosts += cost;
      }
      const std::string delay = latency == 0 ? "none" : std::to_string(latency) + " us";
      std::printf("%-10s %-8s %10.1f %10.1f %10.1f %7.2f %8.2f %9.1f %9.1f %6.2f  %s\n",
                  tracks.c_str(), delay.c_str(), wall[0], wall[1], wall[2], wall[0] / wall[2],
                  wall[1] / wall[2], cpu[0], cpu[2], cpu[0] / cpu[2], commands.c_str());
    }
  }
  std::printf("The fake drive's own work a command: %s.\n", fakeCosts.c_str());
  std::remove(log.c_str());
  return 0;
}
