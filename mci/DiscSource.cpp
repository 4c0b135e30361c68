#include "DiscSource.h"

#include <cstdlib>

#include "MciErrors.h"
#include "TocFile.h"

DiscReading readConfiguredDisc() {
  const char* path = std::getenv("TOCMATE_DRIVE");
  if (path == nullptr || *path == '\0') {
    return DiscError{kMciCannotLoadDriver,
                     "no disc: TOCMATE_DRIVE names no table-of-contents file"};
  }
  return readTocFile(path);
}
