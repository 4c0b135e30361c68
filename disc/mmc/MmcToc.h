#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "TableOfContents.h"

// MMC's READ TOC command (opcode 43h) in format 0: one command that answers every track's
// start and CONTROL nibble and the lead-out. The reply is a 4-byte header (the length of
// what follows its first two bytes, the first and the last track) and an 8-byte descriptor
// per track and for the lead-out.

// Room for the reply of a disc of 99 tracks and the lead-out.
constexpr std::size_t kReadTocReplySize = 4 + 8 * (kMaxTrack + 1);

// The track number of the lead-out's descriptor.
constexpr unsigned kLeadOutTrack = 0xaa;

enum class TocAddressForm { kLba, kMsf };

// The command's 10 bytes: every track from the first on, addresses in `form`, an allocation
// of kReadTocReplySize bytes.
std::array<std::uint8_t, 10> readTocCommand(TocAddressForm form);

// The table of the reply of which the drive transferred `size` bytes, or what is wrong
// with it. A drive that truncates its reply to the allocation keeps the header's full
// length; only the descriptors actually transferred count.
std::variant<TableOfContents, std::string> parseReadTocReply(const std::uint8_t* reply,
                                                             std::size_t size, TocAddressForm form);

// The absolute frame of an address that a drive gives as minutes, seconds and frames; empty
// where the seconds or the frames are out of their range. Every reader checks with this.
std::optional<std::uint32_t> frameOfMsf(std::uint32_t minutes, std::uint32_t seconds,
                                        std::uint32_t frames);

// What every reader of a drive checks its table for, in the words they all use: the
// header's track range, an address that is none, and the table as a whole; and how they
// name a track or the lead-out.
std::string trackName(unsigned track);
std::optional<std::string> trackRangeProblem(unsigned firstTrack, unsigned lastTrack);
std::string addressProblem(unsigned track);
std::optional<std::string> tableProblem(const TableOfContents& toc);
