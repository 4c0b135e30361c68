// The catalog number, ISRCs and CD-Text of the sample discs that carry them, read from the
// fake drive serving each disc's file and held to what the file itself gives; the commands
// each extra costs; drives that misbehave; the list of drives.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "CdDriveList.h"
#include "Crc16.h"
#include "DiscExtras.h"
#include "DiscReader.h"
#include "FakeDriveTest.h"
#include "FileDescriptor.h"
#include "MmcSubchannel.h"
#include "SgioTransport.h"
#include "TocFile.h"

namespace {

constexpr unsigned kAllExtras = kExtraMcn | kExtraIsrc | kExtraCdText;
const char* const kExtrasDiscs[] = {"latin1-cdtext", "msjis-cdtext", "two-languages",
                                    "ascii-cdtext"};

std::string discFile(const std::string& name) { return TOCMATE_TEST_DISCS "/" + name + ".toc"; }

DiscWithExtras fromFile(const std::string& name) {
  return std::get<DiscWithExtras>(readDisc(discFile(name), kAllExtras));
}

// Only the extras asked for.
DiscExtras asked(DiscExtras extras, unsigned wanted) {
  if ((wanted & kExtraMcn) == 0) extras.mediaCatalogNumber.reset();
  if ((wanted & kExtraIsrc) == 0) extras.isrcs.assign(extras.isrcs.size(), std::nullopt);
  if ((wanted & kExtraCdText) == 0) extras.cdText.reset();
  return extras;
}

void expectSameExtras(const DiscExtras& actual, const DiscExtras& expected) {
  EXPECT_EQ(actual.mediaCatalogNumber, expected.mediaCatalogNumber);
  EXPECT_EQ(actual.isrcs, expected.isrcs);
  EXPECT_EQ(actual.cdText.has_value(), expected.cdText.has_value());
  if (actual.cdText && expected.cdText) {
    EXPECT_TRUE(*actual.cdText == *expected.cdText);
  }
}

class DriveExtras : public FakeDriveTest {
 protected:
  // The fake drive holds the sample disc: its table and the lines of its file.
  TableOfContents insert(const std::string& name) { return insertFile(discFile(name)); }
  TableOfContents insertFile(const std::string& path) {
    const TableOfContents toc = std::get<DiscWithExtras>(readDisc(path, 0)).toc;
    FakeDriveTest::insert(toc);
    setenv("FAKE_CDROM_DISC", path.c_str(), 1);
    return toc;
  }

  DiscExtras readDrive(unsigned wanted) {
    DiscExtrasReading reading = readDisc(device, wanted);
    if (auto* failure = std::get_if<DiscFailure>(&reading)) {
      ADD_FAILURE() << "no disc read: " << failure->detail;
      return {};
    }
    return std::get<DiscWithExtras>(reading).extras;
  }
};

std::string repeated(const std::string& line, unsigned times) {
  std::string lines;
  for (unsigned i = 0; i < times; ++i) lines += line;
  return lines;
}

// A CD-Text pack of block 0: its 12 bytes of text (zeros after `text`), its CRC right or not.
struct PackContents {
  std::uint8_t type;
  unsigned track;
  unsigned position;
  std::string text;
  bool doubleByte = false;
  bool extension = false;
  bool crcRight = true;
};

// A READ TOC format 5 reply of the packs, numbered in order, and of a size information pack
// giving block 0's character code where there is one.
std::vector<std::uint8_t> cdTextReply(std::vector<PackContents> packs,
                                      std::optional<std::uint8_t> characterCode) {
  if (characterCode) packs.push_back({kCdTextSizeInfo, 0, 0, std::string(1, char(*characterCode))});
  std::vector<std::uint8_t> reply(4 + 18 * packs.size());
  reply[1] = static_cast<std::uint8_t>(reply.size() - 2);
  for (std::size_t i = 0; i < packs.size(); ++i) {
    const PackContents& contents = packs[i];
    std::uint8_t* pack = reply.data() + 4 + 18 * i;
    pack[0] = contents.type;
    pack[1] = static_cast<std::uint8_t>(contents.track | (contents.extension ? 0x80 : 0));
    pack[2] = static_cast<std::uint8_t>(i);
    pack[3] = static_cast<std::uint8_t>((contents.doubleByte ? 0x80 : 0) | contents.position);
    std::copy(contents.text.begin(), contents.text.end(), pack + 4);
    const std::uint16_t crc =
        static_cast<std::uint16_t>(~crc16(pack, 16) ^ (contents.crcRight ? 0 : 1));
    pack[16] = static_cast<std::uint8_t>(crc >> 8);
    pack[17] = static_cast<std::uint8_t>(crc);
  }
  return reply;
}

// The extras' replies, each held to what it must give; a reply that is not the one asked
// for, is cut short, or breaks a rule of its format gives nothing rather than a wrong value.
TEST(ExtrasReplies, GiveTheirValueOrNothing) {
  using Parse = std::optional<std::string> (*)(const std::uint8_t*, std::size_t);
  const struct {
    const char* name;
    Parse parse;
    std::uint8_t format;
    std::string value;
    std::optional<std::string> expected;
  } subchannel[] = {
      {"a catalog number", parseCatalogNumberReply, 2, "0724383527720", "0724383527720"},
      {"a catalog number in an ISRC's format", parseCatalogNumberReply, 3, "0724383527720",
       std::nullopt},
      {"an ISRC", parseIsrcReply, 3, "GBAYE9200070", "GBAYE9200070"},
      {"an ISRC in a catalog number's format", parseIsrcReply, 2, "GBAYE9200070", std::nullopt},
  };
  for (const auto& c : subchannel) {
    std::uint8_t reply[kSubchannelReplySize] = {0, 0, 0, 20, c.format, 0, 0, 0, 0x80};
    std::copy(c.value.begin(), c.value.end(), reply + 9);
    EXPECT_EQ(c.parse(reply, sizeof reply), c.expected) << c.name;
  }

  std::uint8_t inquiry[kInquiryReplySize] = {5};
  const std::string names = "TOCMATE FAKE CD DRIVE   1.00";
  std::copy(names.begin(), names.end(), inquiry + 8);
  EXPECT_EQ(parseInquiry(inquiry, sizeof inquiry).value_or(DriveIdentity{}).model, "FAKE CD DRIVE");
  EXPECT_FALSE(parseInquiry(inquiry, 32)) << "an INQUIRY cut to 32 bytes";

  const struct {
    const char* name;
    std::vector<PackContents> packs;
    std::optional<std::uint8_t> characterCode;
    std::vector<CdTextItem> items;  // of block 0; none: no CD-Text
  } cdText[] = {
      {"a title of 40 characters whose third pack fails its CRC: none, never glued",
       {{kCdTextTitle, 0, 0, "ABCDEFGHIJKL"},
        {kCdTextTitle, 0, 12, "MNOPQRSTUVWX"},
        {kCdTextTitle, 0, 15, "YZabcdefghij", false, false, false},
        {kCdTextTitle, 0, 15, "klmn"},
        {kCdTextPerformer, 0, 0, "Somebody"}},
       std::nullopt,
       {{kCdTextPerformer, 0, "Somebody"}}},
      {"a title for track 99",
       {{kCdTextTitle, 99, 0, "Last"}},
       std::nullopt,
       {{kCdTextTitle, 99, "Last"}}},
      {"a pack extending another's data is no text",
       {{kCdTextTitle, 0, 0, "Hidden", false, true}},
       std::nullopt,
       {}},
      {"the double-byte flag in a block of code 81h",
       {{kCdTextTitle, 0, 0, std::string("\x82\xa0\x00\x41", 4), true}},
       0x81,
       {{kCdTextTitle, 0, std::string("\x82\xa0\x00\x41", 4)}}},
  };
  for (const auto& c : cdText) {
    const std::vector<std::uint8_t> reply = cdTextReply(c.packs, c.characterCode);
    const std::optional<CdText> parsed = parseCdText(reply.data(), reply.size());
    ASSERT_EQ(parsed.has_value(), !c.items.empty()) << c.name;
    if (parsed) {
      EXPECT_EQ(parsed->blocks[0].items, c.items) << c.name;
    }
  }
}

// One READ SUB-CHANNEL per audio track, and a READ CD after the answer of each track that
// has an ISRC where the track before has none (or it is the first).
std::string isrcCommands(const TableOfContents& toc, const DiscExtras& expected) {
  std::string commands;
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
    if (toc.isData(track)) continue;
    const std::size_t index = track - toc.firstTrack;
    commands += "command 42\n";
    if (expected.isrcs[index] && (index == 0 || !expected.isrcs[index - 1])) {
      commands += "command be\n";
    }
  }
  return commands;
}

// The table, then per extra: one READ SUB-CHANNEL for the catalog number, one per audio
// track for ISRCs (and their confirmations), READ TOC's header and then the whole for
// CD-Text; the values those of the disc's file.
TEST_F(DriveExtras, ReadEachExtraWithItsOwnCommandsAsTheFileGivesThem) {
  for (const char* name : kExtrasDiscs) {
    const TableOfContents toc = insert(name);
    const DiscExtras expected = fromFile(name).extras;
    const std::string isrcs = isrcCommands(toc, expected);
    const struct {
      unsigned wanted;
      std::string commands;
    } cases[] = {
        {0, "command 43\n"},
        {kExtraMcn, "command 43\ncommand 42\n"},
        {kExtraIsrc, "command 43\n" + isrcs},
        {kExtraCdText, "command 43\ncommand 43\ncommand 43\n"},
        {kAllExtras, "command 43\ncommand 42\n" + isrcs + "command 43\ncommand 43\n"},
    };
    for (const auto& read : cases) {
      SCOPED_TRACE(std::string(name) + ", extras " + std::to_string(read.wanted));
      expectSameExtras(readDrive(read.wanted), asked(expected, read.wanted));
      EXPECT_EQ(commands(), read.commands);
    }
  }
  // A disc without CD-Text: the header alone says so.
  insert("worked-example");
  EXPECT_FALSE(readDrive(kExtraCdText).cdText);
  EXPECT_EQ(commands(), "command 43\ncommand 43\n");
  // An Enhanced CD: the audio tracks' ISRCs alone, though the drive answers one for the data
  // track too.
  std::ifstream enhanced(discFile("enhanced-cd"));
  std::string lines((std::istreambuf_iterator<char>(enhanced)), {});
  std::vector<std::optional<std::string>> isrcs;
  for (unsigned track = 1; track <= 11; ++track) {
    const std::string isrc = "GBXYZ26000" + std::to_string(10 + track);
    lines += "isrc " + std::to_string(track) + " " + isrc + "\n";
    isrcs.push_back(track < 11 ? std::optional(isrc) : std::nullopt);
  }
  insertFile(folder.write("enhanced-with-isrcs.toc", lines));
  EXPECT_EQ(readDrive(kExtraIsrc).isrcs, isrcs);
  EXPECT_EQ(commands(), "command 43\ncommand 42\ncommand be\n" + repeated("command 42\n", 9));
  // Two neighbours with the same ISRC, from an honest drive: a repeated answer, confirmed from
  // the track's Q sub-channel, and from then on every track's ISRC read from there.
  insertFile(folder.write("equal-neighbours.toc",
                          "1 4 60000 150 15000 30000 45000\nisrc 1 GBAYE9200070\n"
                          "isrc 2 GBAYE9200070\nisrc 3 USRC17607839\nisrc 4 FRZ039800212\n"));
  EXPECT_EQ(readDrive(kExtraIsrc).isrcs,
            (std::vector<std::optional<std::string>>{"GBAYE9200070", "GBAYE9200070", "USRC17607839",
                                                     "FRZ039800212"}));
  EXPECT_EQ(commands(),
            "command 43\n" + repeated("command 42\ncommand be\n", 2) + repeated("command be\n", 2));
}

// Every CD-Text item of `actual` is one of `expected`'s, and some are missing.
void expectFewerTexts(const DiscExtras& actual, const DiscExtras& expected) {
  ASSERT_TRUE(actual.cdText && expected.cdText);
  std::size_t kept = 0, all = 0;
  for (const CdTextBlock& block : expected.cdText->blocks) all += block.items.size();
  for (const CdTextBlock& block : actual.cdText->blocks) {
    for (const CdTextItem& item : block.items) {
      const CdTextBlock* source = nullptr;
      for (const CdTextBlock& candidate : expected.cdText->blocks) {
        if (candidate.number == block.number) source = &candidate;
      }
      ASSERT_TRUE(source != nullptr);
      const CdTextItem* original = source->find(item.packType, item.track);
      EXPECT_TRUE(original != nullptr && *original == item)
          << "pack type " << int{item.packType} << ", track " << item.track;
      ++kept;
    }
  }
  EXPECT_LT(kept, all);
}

// What a drive gets wrong gives no value, never a wrong one; a refused extra is no failure.
TEST_F(DriveExtras, GiveNoWrongValueWhateverTheDriveDoes) {
  using Check = void (*)(const DiscExtras& actual, const DiscExtras& expected);
  const struct {
    const char* setting;
    const char* value;
    Check check;
  } cases[] = {
      // Confirmed from each track's Q sub-channel once the drive repeated an ISRC, or gave
      // one the track's Q data does not bear out; damaged Q frames never count.
      {"FAKE_CDROM_ISRC", "latched", expectSameExtras},
      {"FAKE_CDROM_ISRC", "lagging", expectSameExtras},
      {"FAKE_CDROM_Q", "damaged", expectSameExtras},
      // The ISRC only in the last of the 120 sectors read from a second into the track.
      {"FAKE_CDROM_Q_ISRC_AT", "194", expectSameExtras},
      {"FAKE_CDROM_SUBCHANNEL", "unmarked",
       [](const DiscExtras& actual, const DiscExtras& expected) {
         expectSameExtras(actual, asked(expected, kExtraCdText));
       }},
      {"FAKE_CDROM_ISRC", "country-digit",
       [](const DiscExtras& actual, const DiscExtras& expected) {
         expectSameExtras(actual, asked(expected, kExtraMcn | kExtraCdText));
       }},
      // An MS-JIS block is double-byte whatever its packs' flags say.
      {"FAKE_CDROM_CDTEXT", "unflagged", expectSameExtras},
      // Blocks whose texts are all for tracks the disc lacks are left out, and with them
      // the whole CD-Text when none is left.
      {"FAKE_CDROM_CDTEXT_BEYOND", "1",
       [](const DiscExtras& actual, const DiscExtras& expected) {
         ASSERT_TRUE(actual.cdText && expected.cdText);
         ASSERT_EQ(actual.cdText->blocks.size(), 1u);
         EXPECT_TRUE(actual.cdText->blocks[0] == expected.cdText->blocks[0]);
       }},
      {"FAKE_CDROM_CDTEXT_BEYOND", "0",
       [](const DiscExtras& actual, const DiscExtras& expected) {
         expectSameExtras(actual, asked(expected, kExtraMcn | kExtraIsrc));
       }},
      {"FAKE_CDROM_CDTEXT", "corrupt",
       [](const DiscExtras& actual, const DiscExtras& expected) {
         EXPECT_EQ(actual.isrcs, expected.isrcs);
         expectFewerTexts(actual, expected);
       }},
      // Without size information: the texts all the same, the language unknown, a
      // single-byte block taken for ISO-8859-1.
      {"FAKE_CDROM_CDTEXT", "unsized",
       [](const DiscExtras& actual, const DiscExtras& expected) {
         ASSERT_TRUE(actual.cdText && expected.cdText);
         ASSERT_EQ(actual.cdText->blocks.size(), expected.cdText->blocks.size());
         for (std::size_t i = 0; i < actual.cdText->blocks.size(); ++i) {
           CdTextBlock block = expected.cdText->blocks[i];
           block.languageCode = 0;
           if (block.characterCode == kCdTextAscii) block.characterCode = kCdTextIso8859_1;
           EXPECT_TRUE(actual.cdText->blocks[i] == block);
         }
       }},
      {"FAKE_CDROM_REFUSE", "mcn isrc cdtext",
       [](const DiscExtras& actual, const DiscExtras& expected) {
         expectSameExtras(actual, asked(expected, 0));
       }},
      // The catalog number through the kernel's ioctl where SG_IO is refused, here or for a
      // descriptor opened read-only.
      {"FAKE_CDROM_SG_IO", "refuse",
       [](const DiscExtras& actual, const DiscExtras& expected) {
         expectSameExtras(actual, asked(expected, kExtraMcn));
       }},
      {"FAKE_CDROM_SG_IO", "writable",
       [](const DiscExtras& actual, const DiscExtras& expected) {
         expectSameExtras(actual, asked(expected, kExtraMcn));
       }},
  };
  for (const char* name : kExtrasDiscs) {
    insert(name);
    const DiscExtras expected = fromFile(name).extras;
    for (const auto& drive : cases) {
      SCOPED_TRACE(std::string(name) + ", " + drive.setting + "=" + drive.value);
      setenv(drive.setting, drive.value, 1);
      drive.check(readDrive(kAllExtras), expected);
      unsetenv(drive.setting);
    }
  }
  // Where SG_IO is refused, the kernel's catalog number only when it was asked for.
  insert("latin1-cdtext");
  setenv("FAKE_CDROM_SG_IO", "refuse", 1);
  commands();
  EXPECT_FALSE(readDrive(kExtraIsrc | kExtraCdText).mediaCatalogNumber);
  EXPECT_EQ(commands().find("mcn"), std::string::npos);
  unsetenv("FAKE_CDROM_SG_IO");
}

// A disc taken out or changed after its table was read fails the read, as it would have
// before, rather than give another disc's values.
TEST_F(DriveExtras, FailWhenTheDiscIsGoneOrChangedMidway) {
  const TableOfContents toc = insert("latin1-cdtext");
  const std::string attentions = folder.write("attentions", "1\n");
  const struct {
    const char* setting;
    std::string value;
    FailureReason reason;
    std::string detail;
  } cases[] = {
      {"FAKE_CDROM_STATE", "no-disc", FailureReason::kNoDisc, device + ": no disc in the drive"},
      {"FAKE_CDROM_UNIT_ATTENTION", attentions, FailureReason::kReadFailed,
       device + ": reading the catalog number: unit attention (sense 6/28/00)"},
  };
  for (const auto& change : cases) {
    SCOPED_TRACE(change.setting);
    setenv(change.setting, change.value.c_str(), 1);
    const FileDescriptor node(::open(device.c_str(), O_RDONLY | O_CLOEXEC));
    SgioTransport drive(node.get());
    const ExtrasReading reading = readDiscExtras(drive, toc, kAllExtras, device);
    unsetenv(change.setting);
    ASSERT_TRUE(reading.failure);
    EXPECT_EQ(reading.failure->reason, change.reason);
    EXPECT_EQ(reading.failure->detail, change.detail);
    EXPECT_EQ(commands(), "command 42\n");
  }
}

// A read ends at its caller's interrupt, failing, or when its time is up, keeping what it
// read: sent before each command, the disc's catalog number, the first track's ISRC and its
// confirmation from the track's Q data, the other tracks' ISRCs, CD-Text.
TEST_F(DriveExtras, StopAtAnInterruptOrWhenTheirTimeIsUp) {
  using namespace std::chrono_literals;
  const TableOfContents toc = insert("latin1-cdtext");
  const DiscExtras all = fromFile("latin1-cdtext").extras;
  // 300 ms a command in 750 ms: the catalog number, the first ISRC and its confirmation.
  DiscExtras threeCommands;
  threeCommands.mediaCatalogNumber = all.mediaCatalogNumber;
  threeCommands.isrcs = {all.isrcs[0], std::nullopt, std::nullopt, std::nullopt};
  const struct {
    const char* name;
    std::chrono::milliseconds time;
    int questionsBeforeTheInterrupt;
    std::string commands;
    std::optional<std::string> failure;
    DiscExtras extras;
  } cases[] = {
      {"interrupted at the first ISRC's confirmation", 10s, 2, "command 42\ncommand 42\n",
       device + ": interrupted while reading the Q sub-channel", asked(all, 0)},
      {"no time", 0s, -1, "", std::nullopt, asked(all, 0)},
      {"time for three commands", 750ms, -1, "command 42\ncommand 42\ncommand be\n", std::nullopt,
       threeCommands},
  };
  setenv("FAKE_CDROM_LATENCY_US", "300000", 1);
  for (const auto& limit : cases) {
    SCOPED_TRACE(limit.name);
    int questions = 0;
    const ExtrasLimits limits(limit.time, [&] {
      return limit.questionsBeforeTheInterrupt >= 0 &&
             questions++ >= limit.questionsBeforeTheInterrupt;
    });
    const FileDescriptor node(::open(device.c_str(), O_RDONLY | O_CLOEXEC));
    SgioTransport drive(node.get());
    const ExtrasReading reading = readDiscExtras(drive, toc, kAllExtras, device, limits);
    EXPECT_EQ(commands(), limit.commands);
    ASSERT_EQ(reading.failure.has_value(), limit.failure.has_value());
    if (reading.failure) {
      EXPECT_EQ(reading.failure->reason, FailureReason::kInterrupted);
      EXPECT_EQ(reading.failure->detail, *limit.failure);
    }
    expectSameExtras(reading.extras, limit.extras);
  }
}

// Named by the kernel's attributes where it has them, else by the drive's INQUIRY.
TEST_F(DriveExtras, ListDrivesByTheirAttributesOrTheirInquiry) {
  const std::string list = folder.write("info", "CD-ROM information\n\ndrive name:\t\tsr1\n");
  std::filesystem::create_directories(folder.path() + "/block/sr1");
  for (const auto& [file, value] :
       {std::pair("vendor", "HL-DT-ST\n"), {"model", "DVDRAM GH24NSD1 \n"}, {"rev", "LG00\n"}}) {
    std::filesystem::create_directories(folder.path() + "/block/sr0/device");
    folder.write(std::string("block/sr0/device/") + file, value);
  }
  std::filesystem::create_directories(folder.path() + "/dev");
  const std::string unnamed = folder.write("dev/sr1", "");
  setenv("FAKE_CDROM_DEVICE", unnamed.c_str(), 1);
  const std::vector<CdDriveInfo> drives =
      listCdDrives(folder.path() + "/block", list.c_str(), folder.path() + "/dev");
  ASSERT_EQ(drives.size(), 2u);
  const CdDriveInfo expected[] = {
      {folder.path() + "/dev/sr0", "HL-DT-ST", "DVDRAM GH24NSD1", "LG00"},
      {folder.path() + "/dev/sr1", "TOCMATE", "FAKE CD DRIVE", "1.00"}};
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(drives[i].name, expected[i].name);
    EXPECT_EQ(drives[i].vendor, expected[i].vendor);
    EXPECT_EQ(drives[i].model, expected[i].model);
    EXPECT_EQ(drives[i].revision, expected[i].revision);
  }
  EXPECT_EQ(commands(), "command 12\n");
}

}  // namespace
