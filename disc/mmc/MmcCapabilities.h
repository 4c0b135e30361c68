#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// What a drive says of itself in MODE SENSE's capabilities page (2Ah).
struct DriveCapabilities {
  std::uint32_t bufferKilobytes = 0;  // its buffer, which holds the audio it caches
  bool c2Pointers = false;            // whether it claims to return C2 error pointers
};

// MODE SENSE(10) (5Ah) of the capabilities page's current values, no block descriptors.
std::array<std::uint8_t, 10> modeSenseCapabilitiesCommand();

// The reply's capabilities page; empty for a reply too short or holding another page.
std::optional<DriveCapabilities> parseCapabilities(const std::uint8_t* reply, std::size_t size);

// The most bytes a reply takes: the header and the page with room for its later fields.
constexpr std::size_t kCapabilitiesReplyBytes = 8 + 64;
