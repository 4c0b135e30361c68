#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// What the Q sub-channel carries besides positions: the disc's Media Catalog Number and
// each track's ISRC, asked for with READ SUB-CHANNEL (42h), or read from the Q data of
// sectors with READ CD (BEh). Every value returned has passed its validation.

// Room for a READ SUB-CHANNEL reply of format 02h or 03h.
constexpr std::size_t kSubchannelReplySize = 24;

std::array<std::uint8_t, 10> readCatalogNumberCommand();
std::array<std::uint8_t, 10> readIsrcCommand(unsigned track);

// The number or ISRC of a reply of which `size` bytes arrived; empty when its valid bit is
// clear, its format is not the one asked for, or its value is no valid one.
std::optional<std::string> parseCatalogNumberReply(const std::uint8_t* reply, std::size_t size);
std::optional<std::string> parseIsrcReply(const std::uint8_t* reply, std::size_t size);

// READ CD of `count` sectors from block `lba`, no main data, 16 bytes of formatted Q each.
constexpr std::size_t kQBytes = 16;
std::array<std::uint8_t, 12> readQCommand(std::uint32_t lba, std::uint32_t count);

// The ISRC one sector's Q data carries: ADR 3, CRC right, a valid ISRC; empty otherwise.
std::optional<std::string> isrcOfQ(const std::uint8_t* q);

// Where a sector's Q data (ADR 1) places it: its CONTROL nibble, the track and index it
// belongs to, and its own absolute address in frames (lead-in included).
struct QPosition {
  std::uint8_t control = 0;
  unsigned track = 0;
  unsigned index = 0;
  std::uint32_t absolute = 0;
};

// The position one sector's Q data carries: ADR 1, CRC right, a track of 1 to 99, an index
// of 0 to 99 and valid BCD throughout; empty otherwise (the lead-out's Q among them).
std::optional<QPosition> positionOfQ(const std::uint8_t* q);
