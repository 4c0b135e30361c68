// READ CD of audio against a drive scripted by the sectors a command asks for: how each
// outcome a drive or platform gives ends a read, and how many sectors a command asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Frames.h"
#include "MmcReadCd.h"

namespace {

// Answers each READ CD by the number of sectors it asks for, writing what it says it sent
// but never more than `writes` bytes; keeps those numbers.
class ScriptedDrive : public ScsiTransport {
 public:
  ScriptedDrive(std::function<ScsiOutcome(std::uint32_t, std::size_t)> answer, std::size_t writes)
      : answer(std::move(answer)), writes(writes) {}

  ScsiOutcome send(const std::uint8_t* command, std::size_t, std::uint8_t* reply,
                   std::size_t replySize) override {
    const std::uint32_t count = std::uint32_t{command[6]} << 16 | command[7] << 8 | command[8];
    counts.push_back(count);
    const ScsiOutcome outcome = answer(count, replySize);
    std::fill(reply, reply + std::min({outcome.transferred, replySize, writes}), 0x11);
    return outcome;
  }

  std::vector<std::uint32_t> counts;

 private:
  std::function<ScsiOutcome(std::uint32_t, std::size_t)> answer;
  std::size_t writes;
};

ScsiOutcome good(std::size_t transferred) {
  return {ScsiOutcome::Status::kGood, transferred, std::nullopt, ""};
}

ScsiOutcome checkCondition(std::uint8_t key, std::uint8_t asc) {
  return {ScsiOutcome::Status::kCheckCondition, 0, Sense{key, asc, 0}, ""};
}

struct Case {
  const char* name;
  std::function<ScsiOutcome(std::uint32_t, std::size_t)> answer;
  SectorsRead::Status status;
  std::vector<std::uint32_t> counts;  // the sectors each command asked for
  std::string detail;                 // of the failure; empty for none
  std::uint32_t sectors = 60;         // read from sector 100
  std::size_t writes = SIZE_MAX;      // the most bytes the drive writes, whatever it says
};

TEST(ReadCdAudio, AsksForCdDaUserData) {
  const std::array<std::uint8_t, 12> command = {0xbe, 0x04, 0, 0, 0x12, 0x34, 0, 0, 26, 0x10, 0, 0};
  EXPECT_EQ(readCdAudioCommand(0x1234, 26), command);
}

TEST(ReadCdAudio, EndsAsTheDriveAnswers) {
  const std::vector<Case> cases = {
      {"every sector, 26 a command",
       [](std::uint32_t, std::size_t size) { return good(size); },
       SectorsRead::Status::kRead,
       {26, 26, 8},
       ""},
      {"more than 7 refused as an invalid field: halved until 6 pass, then 6 a command",
       [](std::uint32_t count, std::size_t size) {
         return count > 7 ? checkCondition(5, 0x24) : good(size);
       },
       SectorsRead::Status::kRead,
       {26, 13, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6},
       ""},
      {"the transport failing for more than 6: fewer asked for",
       [](std::uint32_t count, std::size_t size) {
         return count > 6 ? ScsiOutcome{ScsiOutcome::Status::kFailed, 0, std::nullopt, "EIO"}
                          : good(size);
       },
       SectorsRead::Status::kRead,
       {26, 13, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6},
       ""},
      {"exactly 4 refused: the 4 left of 30 asked for as 2 and 2",
       [](std::uint32_t count, std::size_t size) {
         return count == 4 ? checkCondition(5, 0x24) : good(size);
       },
       SectorsRead::Status::kRead,
       {26, 4, 2, 2},
       "",
       30},
      {"a short transfer: fewer asked for",
       [](std::uint32_t count, std::size_t size) { return good(count > 10 ? size / 2 : size); },
       SectorsRead::Status::kRead,
       {26, 13, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6},
       ""},
      {"a medium error: a bad sector, not a failure",
       [](std::uint32_t, std::size_t) { return checkCondition(3, 0x11); },
       SectorsRead::Status::kBadSector,
       {26},
       ""},
      {"a recovered error: read",
       [](std::uint32_t, std::size_t size) {
         ScsiOutcome outcome = checkCondition(1, 0x17);
         outcome.transferred = size;
         return outcome;
       },
       SectorsRead::Status::kRead,
       {26, 26, 8},
       ""},
      {"a data sector: illegal mode, not asked again",
       [](std::uint32_t, std::size_t) { return checkCondition(5, 0x64); },
       SectorsRead::Status::kFailed,
       {26},
       "sr0: reading audio: sector 100 holds no audio"},
      {"no disc",
       [](std::uint32_t, std::size_t) { return checkCondition(2, 0x3a); },
       SectorsRead::Status::kFailed,
       {26},
       "sr0: no disc in the drive"},
      {"refused by the platform at every length",
       [](std::uint32_t, std::size_t) {
         return ScsiOutcome{ScsiOutcome::Status::kRefused, 0, std::nullopt, "denied"};
       },
       SectorsRead::Status::kRefused,
       {26, 13, 6, 3, 1},
       "sr0: reading audio: the system passes the drive no READ CD: denied"},
      {"cut at 30,000 bytes with no residue: seen by the sentinel, fewer asked for",
       [](std::uint32_t, std::size_t size) { return good(size); },
       SectorsRead::Status::kRead,
       {26, 26, 13, 13, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6},
       "",
       60,
       30000},
      {"one sector cut short with no residue: a failure, not samples",
       [](std::uint32_t, std::size_t size) { return good(size); },
       SectorsRead::Status::kFailed,
       {26, 26, 13, 13, 6, 6, 3, 3, 1, 1},
       "sr0: reading audio: the drive sent less than its reply says of the 2352 bytes of sector "
       "100",
       60,
       2000},
      {"a short transfer of one sector",
       [](std::uint32_t, std::size_t size) { return good(size - 4); },
       SectorsRead::Status::kFailed,
       {26, 13, 6, 3, 1},
       "sr0: reading audio: the drive sent 2348 of the 2352 bytes of sector 100"},
  };
  for (const Case& c : cases) {
    ScriptedDrive drive(c.answer, c.writes);
    MmcAudioSectors sectors(drive, "sr0");
    std::vector<std::uint8_t> out(c.sectors * kAudioFrameBytes);
    const SectorsRead read = sectors.read(100, c.sectors, out.data());
    EXPECT_EQ(read.status, c.status) << c.name;
    EXPECT_EQ(drive.counts, c.counts) << c.name;
    EXPECT_EQ(read.failure ? read.failure->detail : "", c.detail) << c.name;
  }
}

// A drive's capabilities page and C2 forms: each command it gets, as opcode and C2 field.
// Sector n's samples are bytes n; the last sector of a command is flagged. `fields` is the
// C2 field it sends for each form it takes: right, none, or 296 bytes for either.
enum class Fields { kAsAsked, kNone, kAlways296 };

class C2Drive : public ScsiTransport {
 public:
  C2Drive(std::optional<bool> claimsC2, std::vector<int> forms, Fields fields)
      : claims(claimsC2), forms(forms), fields(fields) {}

  ScsiOutcome send(const std::uint8_t* command, std::size_t, std::uint8_t* reply,
                   std::size_t replySize) override {
    const int field = (command[9] >> 1) & 3;
    sent.push_back(command[0] == 0xbe ? "BE/" + std::to_string(field) : "5A");
    if (command[0] == 0x5a) {
      if (!claims) return checkCondition(5, 0x20);
      // A block descriptor of 8 bytes, though none was asked for.
      std::uint8_t page[8 + 8 + 20] = {0, 34, 0, 0, 0, 0, 0, 8};
      page[16] = 0x2a;
      page[17] = 18;
      page[16 + 5] = *claims ? 0x10 : 0;
      page[16 + 12] = 0x08;  // 2048 KB
      std::copy(page, page + sizeof page, reply);
      return good(sizeof page);
    }
    if (field != 0 && std::find(forms.begin(), forms.end(), field) == forms.end()) {
      return checkCondition(5, 0x24);
    }
    const std::uint32_t lba = std::uint32_t{command[4]} << 8 | command[5];
    const std::uint32_t count = command[8];
    const std::size_t c2 = field == 0                     ? 0
                           : fields == Fields::kNone      ? 0
                           : fields == Fields::kAlways296 ? 296
                                                          : (field == 1 ? 294 : 296);
    std::vector<std::uint8_t> whole;
    for (std::uint32_t i = 0; i < count; ++i) {
      whole.insert(whole.end(), kAudioFrameBytes, static_cast<std::uint8_t>(lba + i));
      whole.insert(whole.end(), c2, 0);
    }
    if (c2 > 0 && count > 0) whole[whole.size() - 1] = 0x40;  // the last C2 field's last byte
    std::copy(whole.begin(), whole.begin() + std::min(whole.size(), replySize), reply);
    return good(replySize);  // no residue, whatever was sent
  }

  std::optional<bool> claims;
  std::vector<int> forms;
  Fields fields;
  std::vector<std::string> sent;
};

TEST(ReadCdAudio, FindsTheC2FormOnce) {
  struct C2Case {
    const char* name;
    std::optional<bool> claims;  // empty: MODE SENSE refused
    std::vector<int> forms;      // 1: 294 bytes, 2: 296
    Fields fields;
    std::vector<std::string> sent;
    bool givesC2;
  };
  // A first read of one sector, which decides nothing, then one of 29: three sectors without
  // C2 and with each form tried, then 24 a command with a C2 field, else 26.
  const std::vector<C2Case> cases = {
      {"both forms: the 294-byte one",
       true,
       {1, 2},
       Fields::kAsAsked,
       {"5A", "BE/0", "BE/0", "BE/1", "BE/1", "BE/1"},
       true},
      {"only the 296-byte form",
       true,
       {2},
       Fields::kAsAsked,
       {"5A", "BE/0", "BE/0", "BE/1", "BE/2", "BE/2", "BE/2"},
       true},
      {"every form refused: none",
       true,
       {},
       Fields::kAsAsked,
       {"5A", "BE/0", "BE/0", "BE/1", "BE/2", "BE/0", "BE/0"},
       false},
      {"claimed by none: not tried",
       false,
       {1, 2},
       Fields::kAsAsked,
       {"5A", "BE/0", "BE/0", "BE/0"},
       false},
      {"no MODE SENSE: tried",
       std::nullopt,
       {1},
       Fields::kAsAsked,
       {"5A", "BE/0", "BE/0", "BE/1", "BE/1", "BE/1"},
       true},
      {"the bits taken, no field sent: none",
       true,
       {1, 2},
       Fields::kNone,
       {"5A", "BE/0", "BE/0", "BE/1", "BE/1", "BE/2", "BE/2", "BE/0", "BE/0"},
       false},
      {"296 bytes sent for 294: the 296-byte form",
       true,
       {1, 2},
       Fields::kAlways296,
       {"5A", "BE/0", "BE/0", "BE/1", "BE/2", "BE/2", "BE/2"},
       true},
  };
  for (const C2Case& c : cases) {
    C2Drive drive(c.claims, c.forms, c.fields);
    MmcAudioSectors sectors(drive, "sr0");
    std::vector<std::uint8_t> out(30 * kAudioFrameBytes);
    std::vector<std::uint8_t> flagged(30, 9);
    for (int read = 0; read < 2; ++read) {
      EXPECT_EQ(sectors.readFlagged(100, read == 0 ? 1 : 29, out.data(), flagged.data()).status,
                SectorsRead::Status::kRead)
          << c.name;
    }
    EXPECT_EQ(drive.sent, c.sent) << c.name;
    EXPECT_EQ(sectors.givesC2(), c.givesC2) << c.name;
    // Of the 24 and 5 sectors of the second read, the last of each command is flagged.
    EXPECT_EQ(flagged[0] + flagged[23] + flagged[28], c.givesC2 ? 2 : 0) << c.name;
    // Each sector's samples where the form puts them.
    bool samplesRight = true;
    for (std::uint32_t i = 0; i < 29; ++i) {
      samplesRight &= out[i * kAudioFrameBytes + 7] == static_cast<std::uint8_t>(100 + i);
    }
    EXPECT_TRUE(samplesRight) << c.name;
    EXPECT_EQ(sectors.reportedBufferKilobytes(),
              c.claims ? std::optional<std::uint32_t>(2048) : std::nullopt)
        << c.name;
  }
}

}  // namespace
