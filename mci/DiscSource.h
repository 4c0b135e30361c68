#pragma once

#include <string>
#include <variant>

#include "MciApi.h"
#include "TableOfContents.h"

// Why a disc could not be read: the MCI code to answer with, and what a user should know
// to mend it (which path, what went wrong).
struct DiscError {
  MCIERROR code;
  std::string detail;
};

using DiscReading = std::variant<TableOfContents, DiscError>;

// Reads the disc that the environment variable TOCMATE_DRIVE names.
DiscReading readConfiguredDisc();
