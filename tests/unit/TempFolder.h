#pragma once

#include <string>

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The path of `name` in the folder, after writing `contents` to it.
  std::string write(const std::string& name, const std::string& contents) const;
  const std::string& path() const { return folder; }

 private:
  std::string folder;
};
