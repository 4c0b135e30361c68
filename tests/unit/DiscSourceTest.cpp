#include <gtest/gtest.h>

#include <cstdlib>

#include "DiscSource.h"
#include "MciErrors.h"
#include "TempFolder.h"

namespace {

TEST(FirstCdDrive, IsDevCdromWhereItExists) {
  TempFolder folder;
  const std::string cdrom = folder.write("cdrom", "");
  const std::string list = folder.write("info", "drive name:\t\tsr1\tsr0\n");
  EXPECT_EQ(findFirstCdDrive(cdrom.c_str(), list.c_str()), cdrom);
}

TEST(FirstCdDrive, IsElseTheFirstDriveTheKernelLists) {
  TempFolder folder;
  const std::string missing = folder.path() + "/cdrom";
  const std::string list =
      folder.write("info",
                   "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\ndrive name:\t\tsr1\tsr0\n"
                   "drive speed:\t\t24\t24\n");
  EXPECT_EQ(findFirstCdDrive(missing.c_str(), list.c_str()), "/dev/sr1");
  const std::string noDrives = folder.write("none", "CD-ROM information\n\ndrive name:\n");
  EXPECT_EQ(findFirstCdDrive(missing.c_str(), noDrives.c_str()), "");
  EXPECT_EQ(findFirstCdDrive(missing.c_str(), (folder.path() + "/no-list").c_str()), "");
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
