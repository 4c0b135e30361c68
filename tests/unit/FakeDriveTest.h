#pragma once

#include <gtest/gtest.h>

#include <string>

#include "TableOfContents.h"
#include "TempFolder.h"

// A test of the readers against the fake drive (tests/fakedrive), which the test program has
// preloaded: a device of its own and the log of the commands it answered, set before each
// test, and every FAKE_CDROM_ setting cleared after it.
class FakeDriveTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The fake drive holds a disc of this table.
  static void insert(const TableOfContents& toc);
  // The commands the drive answered since the last call, a line each.
  std::string commands() const;

  TempFolder folder;
  const std::string device = folder.write("sr0", "");
  const std::string log = folder.write("commands", "");
};
