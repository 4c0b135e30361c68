// The extras of a disc on Linux: from a table-of-contents file as it gives them, from a
// drive through SG_IO, and where the kernel refuses SG_IO, the catalog number alone
// through the CD-ROM ioctl.
#include <linux/cdrom.h>
#include <sys/ioctl.h>

#include <cstring>

#include "DiscReader.h"
#include "OpenDisc.h"
#include "SgioTransport.h"

namespace {

// CDROM_GET_MCN: the kernel's READ SUB-CHANNEL, whose digits it copies without looking at
// the valid bit (MCVAL) and hands over without it: the digits alone are checked here.
std::optional<std::string> catalogNumberThroughIoctl(int node) {
  cdrom_mcn mcn{};
  if (::ioctl(node, CDROM_GET_MCN, &mcn) != 0) return std::nullopt;
  const std::string number(reinterpret_cast<const char*>(mcn.medium_catalog_number), 13);
  if (!validMediaCatalogNumber(number)) return std::nullopt;
  return number;
}

}  // namespace

DiscExtrasReading readDisc(const std::string& drive, unsigned extras,
                           const ExtrasLimits::Interrupted& interrupted) {
  DiscOpening opening = openDisc(drive);
  if (auto* failure = std::get_if<DiscFailure>(&opening)) return std::move(*failure);
  OpenDisc& disc = std::get<OpenDisc>(opening);
  if (!disc.node) {
    return DiscWithExtras{
        disc.toc, onlyThoseWanted(std::move(disc.fileExtras), extras, disc.toc.trackCount())};
  }
  SgioTransport transport(disc.node.get());
  const std::string path = drive.empty() ? findFirstCdDrive() : drive;
  ExtrasReading reading = readDiscExtras(transport, disc.toc, extras, path,
                                         ExtrasLimits(ExtrasLimits::kDefaultTime, interrupted));
  if (reading.failure) return std::move(*reading.failure);
  if (reading.transportRefused && (extras & kExtraMcn) != 0) {
    reading.extras.mediaCatalogNumber = catalogNumberThroughIoctl(disc.node.get());
  }
  return DiscWithExtras{std::move(disc.toc), std::move(reading.extras)};
}
