#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "DiscSource.h"
#include "MciErrors.h"
#include "TempFolder.h"

namespace {

TEST(FirstCdDrive, IsDevCdromWhereItExists) {
  TempFolder folder;
  const std::string cdrom = folder.write("cdrom", "");
  const std::string list = folder.write("info", "drive name:\t\tsr1\tsr0\n");
  EXPECT_EQ(findFirstCdDrive(cdrom.c_str(), folder.path() + "/block", list.c_str()), cdrom);
}

// The drives sysfs shows, else those of the kernel's list (which names the latest first and is
// cut short past about 1000 bytes), in the order CdDrive.list() gives them too.
TEST(FirstCdDrive, IsElseTheFirstOfTheDrivesInNaturalOrder) {
  const std::string longList = [] {
    std::string list = "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\ndrive name:\t";
    for (int drive = 199; drive >= 0; --drive) list += "\tsr" + std::to_string(drive);
    return list.substr(0, 1000);
  }();
  const struct {
    const char* name;
    std::vector<std::string> sysfs;
    std::string list;
    std::vector<std::string> drives;
  } cases[] = {
      {"sysfs, disks and partitions beside",
       {"sr10", "sda", "sr2", "sda1", "sr0", "loop0"},
       "drive name:\t\tsr2\n",
       {"sr0", "sr2", "sr10"}},
      {"the kernel's list, latest first",
       {"sda"},
       "CD-ROM information\n\ndrive name:\t\tsr10\tsr2\ndrive speed:\t\t24\t24\n",
       {"sr2", "sr10"}},
      // Cut after "\tsr33\tsr3": the first letters of sr32 are no drive sr3.
      {"a list of 200 drives cut in a name", {}, longList, {}},
      {"names that lead elsewhere", {}, "drive name:\t../x\t.\thdc\tsr/0\n", {"hdc"}},
      {"no drive", {}, "CD-ROM information\n\ndrive name:\n", {}},
  };
  for (const auto& drives : cases) {
    SCOPED_TRACE(drives.name);
    TempFolder folder;
    for (const std::string& name : drives.sysfs) {
      std::filesystem::create_directories(folder.path() + "/block/" + name);
    }
    const std::string list = folder.write("info", drives.list);
    const std::string block = folder.path() + "/block";
    std::vector<std::string> expected = drives.drives;
    if (drives.list == longList) {
      for (int drive = 33; drive <= 199; ++drive) expected.push_back("sr" + std::to_string(drive));
    }
    EXPECT_EQ(cdDriveNames(block, list.c_str()), expected);
    const std::string missing = folder.path() + "/cdrom";
    EXPECT_EQ(findFirstCdDrive(missing.c_str(), block, list.c_str()),
              expected.empty() ? "" : "/dev/" + expected.front());
  }
  TempFolder folder;
  EXPECT_EQ(cdDriveNames(folder.path() + "/none", (folder.path() + "/no-list").c_str()),
            std::vector<std::string>());
}

class ConfiguredDisc : public testing::Test {
 protected:
  void TearDown() override {
    for (const char* name : {"TOCMATE_DRIVE", "FAKE_CDROM_DEVICE", "FAKE_CDROM_TOC"}) {
      unsetenv(name);
    }
  }
};

TEST_F(ConfiguredDisc, IsADriveHeldOpenOrAFileReadAtOnce) {
  TempFolder folder;
  const std::string device = folder.write("sr0", "not read as a table of contents");
  setenv("FAKE_CDROM_DEVICE", device.c_str(), 1);
  setenv("FAKE_CDROM_TOC", "1 1 14160 151", 1);
  setenv("TOCMATE_DRIVE", device.c_str(), 1);
  DiscOpening drive = openConfiguredDisc();
  ASSERT_TRUE(std::holds_alternative<OpenDisc>(drive));
  EXPECT_TRUE(std::get<OpenDisc>(drive).node);
  EXPECT_EQ(std::get<OpenDisc>(drive).toc.leadOut, 14160u);

  setenv("TOCMATE_DRIVE", TOCMATE_TEST_DISCS "/worked-example.toc", 1);
  DiscOpening file = openConfiguredDisc();
  ASSERT_TRUE(std::holds_alternative<OpenDisc>(file));
  EXPECT_FALSE(std::get<OpenDisc>(file).node);
  EXPECT_EQ(std::get<OpenDisc>(file).toc.leadOut, 48766u);
}

TEST_F(ConfiguredDisc, UnsetAndWithoutADriveSaysHowToNameOne) {
  if (!findFirstCdDrive().empty()) GTEST_SKIP() << "this machine has a CD drive";
  const DiscOpening opening = openConfiguredDisc();
  ASSERT_TRUE(std::holds_alternative<DiscFailure>(opening));
  EXPECT_EQ(mciErrorFor(std::get<DiscFailure>(opening).reason), kMciCannotLoadDriver);
  EXPECT_NE(std::get<DiscFailure>(opening).detail.find("TOCMATE_DRIVE can name"),
            std::string::npos);
}

}  // namespace
