#include "TempFolder.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

TempFolder::TempFolder() {
  char pattern[] = "/tmp/tocmate-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("can not make a temporary folder");
  folder = pattern;
}

TempFolder::~TempFolder() { std::filesystem::remove_all(folder); }

std::string TempFolder::write(const std::string& name, const std::string& contents) const {
  const std::string file = folder + "/" + name;
  std::ofstream(file) << contents;
  return file;
}
