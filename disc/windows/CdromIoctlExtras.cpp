#include "CdromIoctlExtras.h"

#include <winioctl.h>
// After windows.h and winioctl.h, which it builds on.
#include <ntddcdrm.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

constexpr std::size_t kMcnLength = 13;
constexpr std::size_t kIsrcLength = 12;

// The sub-channel data of one request, zeroed first: a driver that answers without writing
// (Wine's, for an ISRC) leaves no valid bit set. Empty when the request fails or the reply
// stops short of `needed` bytes.
std::optional<SUB_Q_CHANNEL_DATA> readQChannel(HANDLE drive, UCHAR format, UCHAR track,
                                               std::size_t needed) {
  CDROM_SUB_Q_DATA_FORMAT request{format, track};
  SUB_Q_CHANNEL_DATA data;
  ZeroMemory(&data, sizeof data);
  DWORD returned = 0;
  if (!DeviceIoControl(drive, IOCTL_CDROM_READ_Q_CHANNEL, &request, sizeof request, &data,
                       sizeof data, &returned, nullptr) ||
      returned < needed) {
    return std::nullopt;
  }
  return data;
}

std::optional<std::string> mediaCatalogNumberOf(HANDLE drive) {
  const auto data = readQChannel(drive, IOCTL_CDROM_MEDIA_CATALOG, 0,
                                 offsetof(SUB_Q_MEDIA_CATALOG_NUMBER, MediaCatalog) + kMcnLength);
  if (!data || !data->MediaCatalog.Mcval) return std::nullopt;
  std::string number(reinterpret_cast<const char*>(data->MediaCatalog.MediaCatalog), kMcnLength);
  if (!validMediaCatalogNumber(number)) return std::nullopt;
  return number;
}

std::optional<std::string> isrcOf(HANDLE drive, unsigned track) {
  const auto data = readQChannel(drive, IOCTL_CDROM_TRACK_ISRC, static_cast<UCHAR>(track),
                                 offsetof(SUB_Q_TRACK_ISRC, TrackIsrc) + kIsrcLength);
  if (!data || !data->TrackIsrc.Tcval) return std::nullopt;
  std::string isrc(reinterpret_cast<const char*>(data->TrackIsrc.TrackIsrc), kIsrcLength);
  if (!validIsrc(isrc)) return std::nullopt;
  return isrc;
}

// One ISRC per track, audio tracks only. A drive that repeats the ISRC it last saw gives
// the same one for two adjacent tracks; the class driver offers no sector's Q sub-channel to
// confirm them by, so from that pair on none is trusted, the pair included.
std::vector<std::optional<std::string>> isrcsOf(HANDLE drive, const TableOfContents& toc,
                                                const ExtrasLimits& limits) {
  std::vector<std::optional<std::string>> isrcs(toc.trackCount());
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
    if (toc.isData(track)) continue;
    if (limits.interrupted() || limits.outOfTime()) break;
    const std::size_t index = track - toc.firstTrack;
    isrcs[index] = isrcOf(drive, track);
    if (index > 0 && isrcs[index] && isrcs[index] == isrcs[index - 1]) {
      std::fill(isrcs.begin() + index - 1, isrcs.end(), std::nullopt);
      break;
    }
  }
  return isrcs;
}

std::optional<CdText> cdTextOf(HANDLE drive, const TableOfContents& toc) {
  CDROM_READ_TOC_EX request{};
  request.Format = CDROM_READ_TOC_EX_FORMAT_CDTEXT;
  std::vector<std::uint8_t> reply(kMaxCdTextReply);
  DWORD returned = 0;
  if (!DeviceIoControl(drive, IOCTL_CDROM_READ_TOC_EX, &request, sizeof request, reply.data(),
                       static_cast<DWORD>(reply.size()), &returned, nullptr)) {
    return std::nullopt;
  }
  std::optional<CdText> cdText =
      parseCdText(reply.data(), std::min<std::size_t>(returned, reply.size()));
  if (!cdText) return std::nullopt;
  keepTracksOf(*cdText, toc);
  if (cdText->blocks.empty()) return std::nullopt;
  return cdText;
}

}  // namespace

ExtrasReading readExtrasThroughCdromIoctls(HANDLE drive, const TableOfContents& toc,
                                           unsigned wanted, const std::string& path,
                                           const ExtrasLimits& limits) {
  ExtrasReading reading;
  DiscExtras& extras = reading.extras;
  if ((wanted & kExtraMcn) != 0) extras.mediaCatalogNumber = mediaCatalogNumberOf(drive);
  if ((wanted & kExtraIsrc) != 0) {
    extras.isrcs = isrcsOf(drive, toc, limits);
  } else {
    extras.isrcs.resize(toc.trackCount());
  }
  if (limits.interrupted()) {
    reading.failure = DiscFailure{FailureReason::kInterrupted, path,
                                  path + ": interrupted while reading the extras"};
  } else if ((wanted & kExtraCdText) != 0 && !limits.outOfTime()) {
    extras.cdText = cdTextOf(drive, toc);
  }
  return reading;
}
