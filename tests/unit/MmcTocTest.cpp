// The READ TOC reply parser against replies written out byte by byte.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "MmcToc.h"

namespace {

// The worked example's disc with its last track marked as data: starts 150, 18000 and
// 33765 (the last with CONTROL 4), lead-out 48766.
const std::vector<std::uint8_t> kLbaReply = {
    0x00, 0x22, 0x01, 0x03,                          // 34 bytes follow; tracks 1 to 3
    0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,  // track 1 at block 0
    0x00, 0x10, 0x02, 0x00, 0x00, 0x00, 0x45, 0xba,  // track 2 at block 17850
    0x00, 0x14, 0x03, 0x00, 0x00, 0x00, 0x83, 0x4f,  // track 3, data, at block 33615
    0x00, 0x10, 0xaa, 0x00, 0x00, 0x00, 0xbd, 0xe8,  // lead-out at block 48616
};
const std::vector<std::uint8_t> kMsfReply = {
    0x00, 0x22, 0x01, 0x03,                          //
    0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00,  // 00:02:00
    0x00, 0x10, 0x02, 0x00, 0x00, 0x04, 0x00, 0x00,  // 04:00:00
    0x00, 0x14, 0x03, 0x00, 0x00, 0x07, 0x1e, 0x0f,  // 07:30:15
    0x00, 0x10, 0xaa, 0x00, 0x00, 0x0a, 0x32, 0x10,  // 10:50:16
};

// kLbaReply with the bytes at some offsets changed.
std::vector<std::uint8_t> lbaReplyWith(
    std::initializer_list<std::pair<std::size_t, std::uint8_t>> changes) {
  std::vector<std::uint8_t> reply = kLbaReply;
  for (const auto& [offset, value] : changes) reply[offset] = value;
  return reply;
}

TEST(ReadToc, AsksForEveryTrackWithRoomForNinetyNine) {
  const std::array<std::uint8_t, 10> lba = {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0};
  EXPECT_EQ(readTocCommand(TocAddressForm::kLba), lba);
  EXPECT_EQ(readTocCommand(TocAddressForm::kMsf)[1], 0x02);
}

TEST(ReadToc, ParsesAReplyInEitherAddressForm) {
  for (const auto& [reply, form] : {std::make_pair(kLbaReply, TocAddressForm::kLba),
                                    std::make_pair(kMsfReply, TocAddressForm::kMsf)}) {
    const auto parsed = parseReadTocReply(reply.data(), reply.size(), form);
    ASSERT_TRUE(std::holds_alternative<TableOfContents>(parsed)) << std::get<std::string>(parsed);
    const auto& toc = std::get<TableOfContents>(parsed);
    EXPECT_EQ(toc.firstTrack, 1u);
    EXPECT_EQ(toc.lastTrack, 3u);
    EXPECT_EQ(toc.leadOut, 48766u);
    EXPECT_EQ(toc.starts, (std::vector<std::uint32_t>{150, 18000, 33765}));
    EXPECT_EQ(toc.controls, (std::vector<std::uint8_t>{0, 0, 4}));
  }
}

TEST(ReadToc, SaysWhatIsWrongWithAReply) {
  const std::string wrong = "the drive's table of contents is wrong: ";
  const struct {
    const char* change;
    std::vector<std::uint8_t> reply;
    std::size_t sent;
    std::string problem;
  } cases[] = {
      {"no header", kLbaReply, 3, wrong + "the reply holds 3 bytes, less than its header"},
      {"cut to the allocation", kLbaReply, 28,
       wrong + "tracks 1 to 3 and the lead-out need 4 descriptors, the reply holds 3"},
      {"a short length", lbaReplyWith({{1, 26}}), 36,
       wrong + "tracks 1 to 3 and the lead-out need 4 descriptors, the reply holds 3"},
      {"tracks out of range", lbaReplyWith({{2, 0}}), 36, "the drive reports tracks 0 to 3"},
      {"a track out of order", lbaReplyWith({{14, 5}}), 36,
       wrong + "descriptor 2 is for track 5, not track 2"},
      {"no lead-out", lbaReplyWith({{30, 4}}), 36,
       wrong + "descriptor 4 is for track 4, not the lead-out"},
      {"an address inside the lead-in (block -151)",
       lbaReplyWith({{8, 0xff}, {9, 0xff}, {10, 0xff}, {11, 0x69}}), 36,
       "the drive gives track 1 an address that is not one"},
      {"the lead-out before the last track", lbaReplyWith({{34, 0}}), 36,
       wrong + "lead-out 382 is not after the last track's start 33765"},
  };
  for (const auto& [change, reply, sent, problem] : cases) {
    SCOPED_TRACE(change);
    const auto parsed = parseReadTocReply(reply.data(), sent, TocAddressForm::kLba);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
    EXPECT_EQ(std::get<std::string>(parsed), problem);
  }
  // The lead-out's frame 75, and its second 60: each one past the last.
  for (const auto& [offset, value] : {std::make_pair(35, 75), std::make_pair(34, 60)}) {
    std::vector<std::uint8_t> badAddress = kMsfReply;
    badAddress[offset] = static_cast<std::uint8_t>(value);
    const auto parsed =
        parseReadTocReply(badAddress.data(), badAddress.size(), TocAddressForm::kMsf);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << "byte " << offset;
    EXPECT_EQ(std::get<std::string>(parsed),
              "the drive gives the lead-out an address that is not one");
  }
}

}  // namespace
