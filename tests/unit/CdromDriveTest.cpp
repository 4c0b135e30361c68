// Reading CD drives through SCSI READ TOC and, where SG_IO is refused, the kernel's CD-ROM
// ioctls, answered by the preloaded fake drive, which logs every command it gets.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "CdromDrive.h"
#include "FakeDriveTest.h"
#include "ScsiReadToc.h"
#include "SgioTransport.h"
#include "TocFile.h"

namespace {

// Every sample disc, with its name.
std::vector<std::pair<std::string, TableOfContents>> sampleDiscs() {
  std::vector<std::pair<std::string, TableOfContents>> discs;
  for (const auto& file : std::filesystem::directory_iterator(TOCMATE_TEST_DISCS)) {
    if (file.path().extension() != ".toc") continue;
    discs.emplace_back(file.path().stem(), std::get<TableOfContents>(readTocFile(file.path())));
  }
  return discs;
}

TableOfContents sampleDisc(const std::string& name) {
  return std::get<TableOfContents>(readTocFile(TOCMATE_TEST_DISCS "/" + name + ".toc"));
}

void expectSameTable(const TableOfContents& actual, const TableOfContents& expected) {
  EXPECT_EQ(actual.firstTrack, expected.firstTrack);
  EXPECT_EQ(actual.lastTrack, expected.lastTrack);
  EXPECT_EQ(actual.leadOut, expected.leadOut);
  EXPECT_EQ(actual.starts, expected.starts);
  EXPECT_EQ(actual.controls, expected.controls);
}

// The two ways of reading a drive: READ TOC through SG_IO, and the ioctls where the kernel
// refuses SG_IO.
enum class Path { kScsi, kIoctls };

class CdromDrive : public FakeDriveTest {
 protected:
  void use(Path path) { setenv("FAKE_CDROM_SG_IO", path == Path::kScsi ? "answer" : "refuse", 1); }

  // The drive's table, or a failure of the test.
  TableOfContents read() {
    DiscOpening opening = openDisc(device);
    if (auto* failure = std::get_if<DiscFailure>(&opening)) {
      ADD_FAILURE() << "no disc read: " << failure->detail;
      return {};
    }
    EXPECT_TRUE(std::get<OpenDisc>(opening).node) << "the drive is held open";
    return std::get<OpenDisc>(opening).toc;
  }

  DiscFailure failure() {
    DiscOpening opening = openDisc(device);
    if (!std::holds_alternative<DiscFailure>(opening)) {
      ADD_FAILURE() << "the read did not fail";
      return {};
    }
    return std::get<DiscFailure>(opening);
  }

  // The commands the drive got since the last look.
  std::string ioctlReads(const TableOfContents& toc) {
    std::string reads = "header\n";
    for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
      reads += "entry " + std::to_string(track) + "\n";
    }
    return reads + "entry 170\n";
  }
};

// One READ TOC for the whole disc, whatever its size, also where the drive's answer comes
// with sense data that reports success, or a signal interrupts the call once; where SG_IO
// is refused, the header, every track and the lead-out, with addresses in whichever form
// the driver answers.
TEST_F(CdromDrive, ReadsEverySampleDiscInOneCommandOrThroughTheIoctls) {
  const std::string interruptions = folder.write("interruptions", "");
  setenv("FAKE_CDROM_EINTR", interruptions.c_str(), 1);
  for (const auto& [name, disc] : sampleDiscs()) {
    insert(disc);
    SCOPED_TRACE(name);
    use(Path::kScsi);
    for (const auto& [state, interruptions] :
         {std::pair("disc", "0"), {"recovered", "0"}, {"good-with-sense", "0"}, {"disc", "1"}}) {
      SCOPED_TRACE(std::string(state) + ", interrupted " + interruptions + " times");
      setenv("FAKE_CDROM_STATE", state, 1);
      folder.write("interruptions", interruptions);
      expectSameTable(read(), disc);
      EXPECT_EQ(commands(), "command 43\n");
    }
    unsetenv("FAKE_CDROM_STATE");
    use(Path::kIoctls);
    for (const char* form : {"requested", "lba", "msf"}) {
      SCOPED_TRACE(std::string("ioctl addresses ") + form);
      setenv("FAKE_CDROM_ADDRESS", form, 1);
      expectSameTable(read(), disc);
      EXPECT_EQ(commands(), ioctlReads(disc));
    }
  }
}

TEST_F(CdromDrive, ReadsReplyAddressesInBothForms) {
  const FileDescriptor node(::open(device.c_str(), O_RDONLY | O_CLOEXEC));
  for (const auto& [name, disc] : sampleDiscs()) {
    insert(disc);
    for (const TocAddressForm form : {TocAddressForm::kLba, TocAddressForm::kMsf}) {
      SCOPED_TRACE(name + (form == TocAddressForm::kMsf ? " in MSF" : " in LBA"));
      SgioTransport drive(node.get());
      const std::optional<DiscReading> reading = readTocThrough(drive, device, form);
      ASSERT_TRUE(reading && std::holds_alternative<TableOfContents>(*reading));
      expectSameTable(std::get<TableOfContents>(*reading), disc);
    }
  }
}

// A changed disc makes the drive answer UNIT ATTENTION once: the command is sent again.
// A drive that never stops is given up on after a few.
TEST_F(CdromDrive, SendsTheCommandAgainAfterAUnitAttentionAFewTimesAtMost) {
  const TableOfContents disc = sampleDisc("22-tracks");
  insert(disc);
  const std::string attentions = folder.write("attentions", "1");
  setenv("FAKE_CDROM_UNIT_ATTENTION", attentions.c_str(), 1);
  expectSameTable(read(), disc);
  EXPECT_EQ(commands(), "command 43\ncommand 43\n");

  folder.write("attentions", "100");
  const DiscFailure endless = failure();
  EXPECT_EQ(endless.reason, FailureReason::kReadFailed);
  EXPECT_EQ(endless.detail,
            device + ": reading the table of contents: unit attention (sense 6/28/00)");
  EXPECT_EQ(commands(), "command 43\ncommand 43\ncommand 43\ndrive status\n");
}

// The sense data says why; the drive's status is asked only where it does not.
TEST_F(CdromDrive, SaysWhyADriveGivesNoTable) {
  insert(sampleDisc("worked-example"));
  const struct {
    Path path;
    const char* state;
    FailureReason reason;
    std::string what;
    std::string commands;
    std::vector<std::pair<const char*, const char*>> settings = {};
  } cases[] = {
      {Path::kScsi, "no-disc", FailureReason::kNoDisc, "no disc in the drive", "command 43\n"},
      {Path::kScsi, "tray-open", FailureReason::kNoDisc, "the drive's tray is open",
       "command 43\n"},
      {Path::kScsi, "becoming-ready", FailureReason::kNotReady,
       "the drive is not ready yet; try again in a moment", "command 43\n"},
      {Path::kScsi, "read-error", FailureReason::kReadFailed,
       "reading the table of contents: medium error (sense 3/11/00)", "command 43\ndrive status\n"},
      {Path::kIoctls, "no-disc", FailureReason::kNoDisc, "no disc in the drive",
       "header\ndrive status\n"},
      {Path::kIoctls, "tray-open", FailureReason::kNoDisc, "the drive's tray is open",
       "header\ndrive status\n"},
      {Path::kIoctls, "becoming-ready", FailureReason::kNotReady,
       "the drive is not ready yet; try again in a moment", "header\ndrive status\n"},
      {Path::kIoctls, "read-error", FailureReason::kReadFailed,
       "reading track 1: Input/output error", "header\nentry 1\ndrive status\n"},
      // Only the bytes transferred count: the allocation less the residue, where the drive
      // reports one; where it does not, the rest reads as zeros, never as stale memory.
      {Path::kScsi,
       "disc",
       FailureReason::kBadTable,
       "the drive's table of contents is wrong: tracks 1 to 3 and the lead-out need 4 "
       "descriptors, the reply holds 1",
       "command 43\n",
       {{"FAKE_CDROM_TRANSFER", "12"}}},
      {Path::kScsi,
       "disc",
       FailureReason::kBadTable,
       "the drive's table of contents is wrong: descriptor 2 is for track 0, not track 2",
       "command 43\n",
       {{"FAKE_CDROM_TRANSFER", "12"}, {"FAKE_CDROM_RESIDUE", "none"}}},
      // The ioctls' addresses pass the checks READ TOC's do: no second 99.
      {Path::kIoctls,
       "disc",
       FailureReason::kBadTable,
       "the drive gives track 2 an address that is not one",
       "header\nentry 1\nentry 2\n",
       {{"FAKE_CDROM_ADDRESS", "msf-unwrapped"}, {"FAKE_CDROM_TOC", "1 3 15000 150 7499 9000"}}},
  };
  for (const auto& state : cases) {
    SCOPED_TRACE(std::string(state.state) + (state.path == Path::kScsi ? " (SCSI)" : " (ioctls)"));
    use(state.path);
    setenv("FAKE_CDROM_STATE", state.state, 1);
    for (const auto& [name, value] : state.settings) setenv(name, value, 1);
    const DiscFailure error = failure();
    EXPECT_EQ(error.reason, state.reason);
    EXPECT_EQ(error.detail, device + ": " + state.what);
    EXPECT_EQ(commands(), state.commands);
    for (const auto& setting : state.settings) unsetenv(setting.first);
    insert(sampleDisc("worked-example"));
  }
}

TEST_F(CdromDrive, RefusesATableNoDiscCouldHaveInTheSameWordsEitherWay) {
  for (const Path path : {Path::kScsi, Path::kIoctls}) {
    SCOPED_TRACE(path == Path::kScsi ? "SCSI" : "ioctls");
    use(path);
    setenv("FAKE_CDROM_TOC", "0 3 48766 150 18000 33765", 1);
    EXPECT_EQ(failure().detail, device + ": the drive reports tracks 0 to 3");
    setenv("FAKE_CDROM_TOC", "1 3 48766 150 33765 18000", 1);
    const DiscFailure wrong = failure();
    EXPECT_EQ(wrong.reason, FailureReason::kBadTable);
    EXPECT_EQ(wrong.detail, device +
                                ": the drive's table of contents is wrong: track 3 starts at "
                                "18000, not after the previous track's 33765");
  }
}

}  // namespace
