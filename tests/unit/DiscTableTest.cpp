// Disc's native method through its JNI entry point, over table-of-contents files.
#include <gtest/gtest.h>

#include <vector>

#include "FailingAllocations.h"
#include "JniCall.h"
#include "TempFolder.h"

namespace {

std::vector<jint> tableOf(const DiscTableCall& call) {
  return call.table != nullptr ? std::vector<jint>(call.table, call.table + call.tableSize)
                               : std::vector<jint>();
}

// The same disc in a file: first, last, lead-out, the starts, then a control nibble each.
const std::vector<jint> kWorkedExample{1, 3, 48766, 150, 18000, 33765, 0, 0, 0};

TEST(DiscTable, GivesTheTableOrADiscReadExceptionWithPrintableTexts) {
  TempFolder folder;
  const std::string good = folder.write("good.toc", "1 3 48766 150 18000 33765");
  DiscTableCall call = callDiscTable(Java_cd_Disc_readTableOfContents, good.c_str());
  EXPECT_EQ(tableOf(call), kWorkedExample);
  EXPECT_STREQ(call.exception, "");
  EXPECT_FALSE(call.jniMisused);

  // Bytes that are not modified UTF-8, and a terminal's escape sequence, from the file.
  const std::string bad = folder.write("bad\x1b.toc", "1 2\n\x1b]0;x\x07\xff\xf0\x9f\x92\xbf");
  call = callDiscTable(Java_cd_Disc_readTableOfContents, bad.c_str());
  EXPECT_EQ(call.table, nullptr);
  EXPECT_STREQ(call.exception, "cd/DiscReadException");
  EXPECT_STREQ(call.reason, "BAD_TABLE_OF_CONTENTS");
  const std::string printableName = folder.path() + "/bad\\x1b.toc";
  EXPECT_EQ(call.drive, printableName);
  EXPECT_EQ(call.message, printableName +
                              " line 2: '\\x1b]0;x\\x07\\xff\\xf0\\x9f\\x92\\xbf' is not a "
                              "number of frames");
  EXPECT_FALSE(call.jniMisused);

  call = callDiscTable(Java_cd_Disc_readTableOfContents, (folder.path() + "/none").c_str());
  EXPECT_STREQ(call.reason, "NO_DRIVE");
  EXPECT_EQ(call.message, folder.path() + "/none: No such file or directory");
}

// A table-of-contents file that reads, and one that does not.
std::vector<std::string> goodAndBadFiles(TempFolder& folder) {
  return {folder.write("good.toc", "1 3 48766 150 18000 33765"), folder.write("bad.toc", "1 3 x")};
}

// Every C++ allocation of a call, made to fail in turn: the call throws OutOfMemoryError
// instead of letting std::bad_alloc out. Stops once a call no longer reaches the failure.
TEST(DiscTable, ThrowsOutOfMemoryErrorWhenAnyAllocationFails) {
  TempFolder folder;
  for (const std::string& path : goodAndBadFiles(folder)) {
    SCOPED_TRACE(path);
    long failures = 0;
    for (long index = 0;; ++index) {
      DiscTableCall call;
      bool failed;
      {
        FailingAllocations failing(index);
        call = callDiscTable(Java_cd_Disc_readTableOfContents, path.c_str());
        failed = failing.failed();
      }
      EXPECT_FALSE(call.jniMisused) << "allocation " << index;
      if (!failed) {
        EXPECT_STRNE(call.exception, "java/lang/OutOfMemoryError");
        break;
      }
      ++failures;
      EXPECT_STREQ(call.exception, "java/lang/OutOfMemoryError") << "allocation " << index;
    }
    EXPECT_GT(failures, 3);
  }
}

// Every JNI call that can fail, failing in turn: the method returns at once with the JVM's
// error pending, calling nothing more.
TEST(DiscTable, ReturnsAtOnceWhenAJniCallFails) {
  TempFolder folder;
  for (const std::string& path : goodAndBadFiles(folder)) {
    SCOPED_TRACE(path);
    long failures = 0;
    for (long index = 0;; ++index) {
      const DiscTableCall call =
          callDiscTable(Java_cd_Disc_readTableOfContents, path.c_str(), index);
      EXPECT_FALSE(call.jniMisused) << "JNI call " << index;
      if (std::string(call.message) != "out of memory (injected)") {
        EXPECT_TRUE(call.table != nullptr || std::string(call.reason) == "BAD_TABLE_OF_CONTENTS");
        break;
      }
      ++failures;
      EXPECT_EQ(call.table, nullptr) << "JNI call " << index;
    }
    EXPECT_GE(failures, 2);
  }
}

}  // namespace
