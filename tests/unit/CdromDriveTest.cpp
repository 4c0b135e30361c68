// Reading CD drives through the kernel's CD-ROM ioctls, answered by the preloaded fake drive.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "CdromDrive.h"
#include "TempFolder.h"
#include "TocFile.h"

namespace {

TableOfContents sampleDisc(const std::string& name) {
  return std::get<TableOfContents>(readTocFile(TOCMATE_TEST_DISCS "/" + name + ".toc"));
}

class CdromDrive : public testing::Test {
 protected:
  void SetUp() override { setenv("FAKE_CDROM_DEVICE", device.c_str(), 1); }
  void TearDown() override {
    for (const char* name : {"FAKE_CDROM_DEVICE", "FAKE_CDROM_TOC", "FAKE_CDROM_STATE",
                             "FAKE_CDROM_ADDRESS", "FAKE_CDROM_DATA", "FAKE_CDROM_LOG"}) {
      unsetenv(name);
    }
  }

  void insert(const TableOfContents& toc) {
    std::string numbers = std::to_string(toc.firstTrack) + " " + std::to_string(toc.lastTrack) +
                          " " + std::to_string(toc.leadOut);
    for (std::uint32_t start : toc.starts) numbers += " " + std::to_string(start);
    setenv("FAKE_CDROM_TOC", numbers.c_str(), 1);
  }

  // The drive's table, or a failure of the test.
  TableOfContents read() {
    std::optional<DiscOpening> opening = openCdromDrive(device);
    if (!opening || !std::holds_alternative<OpenDisc>(*opening)) {
      ADD_FAILURE() << "no disc read: "
                    << (opening ? std::get<DiscFailure>(*opening).detail : "not a drive");
      return {};
    }
    EXPECT_TRUE(std::get<OpenDisc>(*opening).node) << "the drive is held open";
    return std::get<OpenDisc>(*opening).toc;
  }

  DiscFailure failure(const std::string& path) {
    std::optional<DiscOpening> opening = openCdromDrive(path);
    if (!opening || !std::holds_alternative<DiscFailure>(*opening)) {
      ADD_FAILURE() << path << " did not fail";
      return {};
    }
    return std::get<DiscFailure>(*opening);
  }

  TempFolder folder;
  const std::string device = folder.write("sr0", "");
};

void expectSameTable(const TableOfContents& actual, const TableOfContents& expected) {
  EXPECT_EQ(actual.firstTrack, expected.firstTrack);
  EXPECT_EQ(actual.lastTrack, expected.lastTrack);
  EXPECT_EQ(actual.leadOut, expected.leadOut);
  EXPECT_EQ(actual.starts, expected.starts);
}

// Asked in logical block addresses, a drive may answer in those (150 frames less than
// MCI's absolute frames) or in MSF; both come out as the file's absolute frames.
TEST_F(CdromDrive, ReadsEverySampleDiscInEitherAddressForm) {
  for (const char* form : {"requested", "lba", "msf"}) {
    for (const char* name :
         {"worked-example", "single-track", "22-tracks", "hidden-first-track", "99-tracks"}) {
      SCOPED_TRACE(std::string(name) + ", addresses " + form);
      setenv("FAKE_CDROM_ADDRESS", form, 1);
      insert(sampleDisc(name));
      expectSameTable(read(), sampleDisc(name));
    }
  }
}

TEST_F(CdromDrive, CountsDataTracksLikeAudioTracks) {
  insert(sampleDisc("22-tracks"));
  setenv("FAKE_CDROM_DATA", "1 22", 1);
  expectSameTable(read(), sampleDisc("22-tracks"));
}

TEST_F(CdromDrive, ReadsTheHeaderEveryTrackAndTheLeadOutOnce) {
  const std::string log = folder.path() + "/reads";
  setenv("FAKE_CDROM_LOG", log.c_str(), 1);
  insert(sampleDisc("worked-example"));
  read();
  std::ifstream reads(log);
  const std::string seen((std::istreambuf_iterator<char>(reads)), {});
  EXPECT_EQ(seen, "header\nentry 1\nentry 2\nentry 3\nentry 170\n");
}

TEST_F(CdromDrive, SaysWhyADriveGivesNoTable) {
  insert(sampleDisc("worked-example"));
  const struct {
    const char* state;
    FailureReason reason;
    std::string detail;
  } states[] = {
      {"no-disc", FailureReason::kNoDisc, device + ": no disc in the drive"},
      {"tray-open", FailureReason::kNoDisc, device + ": the drive's tray is open"},
      {"read-error", FailureReason::kReadFailed, device + ": reading track 1: Input/output error"},
  };
  for (const auto& state : states) {
    SCOPED_TRACE(state.state);
    setenv("FAKE_CDROM_STATE", state.state, 1);
    const DiscFailure error = failure(device);
    EXPECT_EQ(error.reason, state.reason);
    EXPECT_EQ(error.detail, state.detail);
  }
}

TEST_F(CdromDrive, RefusesATableNoDiscCouldHave) {
  setenv("FAKE_CDROM_TOC", "0 3 48766 150 18000 33765", 1);
  EXPECT_EQ(failure(device).detail, device + ": the drive reports tracks 0 to 3");
  setenv("FAKE_CDROM_TOC", "1 3 48766 150 33765 18000", 1);
  EXPECT_EQ(failure(device).detail,
            device +
                ": the drive's table of contents is wrong: track 3 starts at 18000, not "
                "after the previous track's 33765");
}

TEST_F(CdromDrive, TellsPathsThatAreNoDriveApart) {
  EXPECT_FALSE(openCdromDrive(TOCMATE_TEST_DISCS "/single-track.toc").has_value())
      << "a regular file is left to be read as a table of contents";
  const DiscFailure nullDevice = failure("/dev/null");
  EXPECT_EQ(nullDevice.reason, FailureReason::kNoDrive);
  EXPECT_EQ(nullDevice.detail, "/dev/null: neither a CD drive nor a table-of-contents file");
  const DiscFailure missing = failure(folder.path() + "/sr9");
  EXPECT_EQ(missing.reason, FailureReason::kNoDrive);
  EXPECT_EQ(missing.detail, folder.path() + "/sr9: No such file or directory");
}

}  // namespace
