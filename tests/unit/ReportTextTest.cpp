// How reports show bytes from outside, and how a call's reports are collected.
#include <gtest/gtest.h>

#include <string>

#include "Diagnostics.h"
#include "PrintableText.h"

namespace {

using namespace std::string_literals;

std::string within(std::string_view bytes, std::size_t room) {
  std::string text(room, '?');
  text.resize(printableWithin(bytes, text.data(), room));
  return text;
}

TEST(PrintableText, EscapesEveryByteThatIsNotPrintableAscii) {
  const std::string bytes = "a\x1b[2J\n\0\x7f\xff~ "s;
  EXPECT_EQ(printable(bytes), "a\\x1b[2J\\x0a\\x00\\x7f\\xff~ ");
  EXPECT_EQ(within(bytes, 100), printable(bytes));
  // The four characters of an escape stay apart from the byte it stands for; the MCI
  // reports, which escape twice, give the same text both times.
  EXPECT_EQ(printable("\\x1b"), "\\\\x1b");
  EXPECT_EQ(within(within(bytes + "\\", 100), 100), within(bytes + "\\", 100));
}

// Too long, the middle goes: both ends stay, an escape is kept whole or left out whole.
TEST(PrintableText, LeavesOutTheMiddleOfWhatIsTooLong) {
  EXPECT_EQ(within("/a/long/path: the cause", 17), "/a/long...e cause");
  EXPECT_EQ(within("\x1b\x1b"
                   "abcdef\x1b\x1b",
                   13),
            "\\x1b...\\x1b");
  EXPECT_EQ(within("abcdef", 6), "abcdef");
  EXPECT_EQ(within("abcdef", 3), "...");
  EXPECT_EQ(within("abcdef", 2), "");
}

TEST(Diagnostics, CollectsTextsAndCutsThemAtItsCapacity) {
  Diagnostics diagnostics;
  diagnostics.add("Can not open device %s\n", "cdaudio");
  diagnostics.addPrintable("\n", 4);
  EXPECT_EQ(diagnostics.text(), "Can not open device cdaudio\n\\x0a");

  const std::string line(1000, 'l');
  for (int i = 0; i < 9; ++i) diagnostics.add("%s\n", line.c_str());
  diagnostics.add("more");
  diagnostics.addPrintable("more", 10);
  const std::string_view text = diagnostics.text();
  EXPECT_EQ(text.size(), Diagnostics::kCapacity);
  EXPECT_EQ(text.substr(text.size() - 5), "l...\n");
}

}  // namespace
