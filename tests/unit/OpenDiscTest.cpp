// What a path is read as: a device node as a drive, a regular file as a table of contents,
// anything else not at all; each opened once, never blocking. The preloaded fake drive
// counts the opens of the file it watches.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <thread>

#include "OpenDisc.h"
#include "TempFolder.h"
#include "TocFile.h"

namespace {

// openDisc(path), given a few seconds: a read that blocks fails the test instead of hanging it.
DiscOpening openPromptly(const std::string& path) {
  std::packaged_task<DiscOpening()> task([path] { return openDisc(path); });
  std::future<DiscOpening> opening = task.get_future();
  std::thread(std::move(task)).detach();
  if (opening.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << path << ": still being read after 5 seconds";
    return DiscFailure{FailureReason::kReadFailed, path, "blocked"};
  }
  return opening.get();
}

void expectFailure(const DiscOpening& opening, FailureReason reason, const std::string& detail) {
  ASSERT_TRUE(std::holds_alternative<DiscFailure>(opening)) << "the path was read as a disc";
  EXPECT_EQ(std::get<DiscFailure>(opening).reason, reason);
  EXPECT_EQ(std::get<DiscFailure>(opening).detail, detail);
}

TEST(OpenDisc, RefusesWhatIsNeitherADriveNorAFileWithoutWaitingForIt) {
  TempFolder folder;
  const std::string fifo = folder.path() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  expectFailure(openPromptly(fifo), FailureReason::kNoDrive,
                fifo + ": neither a CD drive nor a table-of-contents file");
  expectFailure(openPromptly("/dev/null"), FailureReason::kNoDrive,
                "/dev/null: neither a CD drive nor a table-of-contents file");
  expectFailure(openPromptly(folder.path()), FailureReason::kNoDrive,
                folder.path() + ": Is a directory");
  expectFailure(openPromptly(folder.path() + "/sr9"), FailureReason::kNoDrive,
                folder.path() + "/sr9: No such file or directory");
}

// Read from the descriptor that was opened without blocking, never opened again by name
// (where another path may stand by then).
TEST(OpenDisc, OpensATableOfContentsFileOnce) {
  TempFolder folder;
  const std::string toc = folder.write("disc.toc", "1 3 48766 150 18000 33765d\n");
  const std::string opens = folder.write("opens", "");
  setenv("FAKE_CDROM_DEVICE", toc.c_str(), 1);
  setenv("FAKE_CDROM_NODE", "file", 1);
  setenv("FAKE_CDROM_OPEN_LOG", opens.c_str(), 1);
  const DiscOpening opening = openPromptly(toc);
  for (const char* name : {"FAKE_CDROM_DEVICE", "FAKE_CDROM_NODE", "FAKE_CDROM_OPEN_LOG"}) {
    unsetenv(name);
  }
  ASSERT_TRUE(std::holds_alternative<OpenDisc>(opening));
  EXPECT_FALSE(std::get<OpenDisc>(opening).node) << "nothing held open for a file";
  EXPECT_EQ(std::get<OpenDisc>(opening).toc.controls, (std::vector<std::uint8_t>{0, 0, 4}));
  std::ifstream log(opens);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(log), {}), "open\n");
}

// A refusal that the node's mode does not explain (a sandbox's EPERM, even for root; a
// denial where the mode grants reading) is not blamed on the user's read access.
TEST(OpenDisc, AdvisesReadAccessOnlyWhereTheModeDeniesIt) {
  TempFolder folder;
  const std::string device = folder.write("sr0", "");
  setenv("FAKE_CDROM_DEVICE", device.c_str(), 1);
  for (const int error : {EPERM, EACCES}) {
    setenv("FAKE_CDROM_OPEN_ERROR", std::to_string(error).c_str(), 1);
    expectFailure(openPromptly(device), FailureReason::kNoAccess,
                  device + ": " + std::strerror(error));
  }
  unsetenv("FAKE_CDROM_OPEN_ERROR");
  unsetenv("FAKE_CDROM_DEVICE");
}

TEST(OpenDisc, RefusesAFileFarTooLargeToBeOne) {
  TempFolder folder;
  const std::string path = folder.write("large.toc", std::string(70000, ' ') + "1 1 14160 151");
  expectFailure(openPromptly(path), FailureReason::kBadTable,
                path + ": larger than 65536 bytes, not a table of contents");
}

}  // namespace
