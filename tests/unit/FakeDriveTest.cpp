#include "FakeDriveTest.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

extern char** environ;

void FakeDriveTest::SetUp() {
  setenv("FAKE_CDROM_DEVICE", device.c_str(), 1);
  setenv("FAKE_CDROM_LOG", log.c_str(), 1);
}

void FakeDriveTest::TearDown() {
  static constexpr char kPrefix[] = "FAKE_CDROM_";
  std::vector<std::string> names;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    if (std::strncmp(*variable, kPrefix, sizeof kPrefix - 1) != 0) continue;
    const std::string variableText = *variable;
    names.push_back(variableText.substr(0, variableText.find('=')));
  }
  for (const std::string& name : names) unsetenv(name.c_str());
}

void FakeDriveTest::insert(const TableOfContents& toc) {
  std::string numbers = std::to_string(toc.firstTrack) + " " + std::to_string(toc.lastTrack) + " " +
                        std::to_string(toc.leadOut);
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
    numbers += " " + std::to_string(toc.startOf(track)) + (toc.isData(track) ? "d" : "");
  }
  setenv("FAKE_CDROM_TOC", numbers.c_str(), 1);
}

std::string FakeDriveTest::commands() const {
  std::ifstream file(log);
  std::string seen((std::istreambuf_iterator<char>(file)), {});
  std::ofstream(log, std::ios::trunc);
  return seen;
}
