/*
 * The fake drive's audio: READ CD of CD-DA sectors (BEh with user data), answered with
 * samples that are a known function of their place on the disc, so that a test computes
 * what a track holds without the library: the sample at position p (counted in samples from
 * logical block 0, 588 a sector) is the 32-bit value p * 2654435761 + 12345 (modulo 2^32),
 * its low 16 bits the left channel, its high 16 bits the right, little-endian.
 *
 * Environment, besides fake_cdrom.c's:
 *   FAKE_CDROM_READ_OFFSET   the drive's read offset in samples: at position p it returns
 *                            the disc's sample p - offset, as a drive whose correction is
 *                            +offset (default 0). Samples it would take from before block 0
 *                            or from the lead-out on are zero, as the pregap and lead-out
 *                            of a disc hold silence.
 *   FAKE_CDROM_FLAKY         blocks whose first read returns silence without an error
 *   FAKE_CDROM_WAVERING      blocks whose reads all return other wrong samples, but for the
 *                            third, which returns the right ones as the first did
 *   FAKE_CDROM_FAILS_TWICE   blocks whose first two reads fail (MEDIUM ERROR), those of the
 *                            READ CDs that reach them
 *   FAKE_CDROM_UNSTABLE      blocks whose every read returns other wrong samples
 *   FAKE_CDROM_SCRATCHED     blocks whose reads from the disc are wrong, each differently,
 *                            but every third, which is right
 *   FAKE_CDROM_C2            whether C2 pointers flag the scratched blocks' wrong reads:
 *                            "flag" (the default) or "miss"
 *   FAKE_CDROM_C2_FALSE      blocks always read right but flagged, as drives flag bytes
 *                            they corrected; "all" for every block
 *   FAKE_CDROM_CONCEALED     blocks whose reads from the disc go wrong, right, wrong, ...,
 *                            every wrong read the same and unflagged, as a drive that
 *                            conceals a bad frame the same way each time
 *   FAKE_CDROM_STUCK         blocks whose first two reads from the disc return the same wrong
 *                            samples, later ones the right; FAKE_CDROM_STUCK_FLAGS says which
 *                            wrong reads C2 flags: "both" (the default) or "first"
 *   FAKE_CDROM_C2_SENT       the C2 field sent: "asked" (the default), "none" (the bits
 *                            taken, no field sent) or "296" (296 bytes whatever was asked)
 *   FAKE_CDROM_UNREADABLE    blocks that always fail: MEDIUM ERROR (3/11/05), and so does
 *                            any READ CD that covers one
 *   FAKE_CDROM_GONE_AT       a block from which on the disc is gone: READ CD covering it
 *                            answers NOT READY, medium not present (2/3A/00)
 *   FAKE_CDROM_MAX_SECTORS   the most sectors a READ CD may ask for; more: ILLEGAL REQUEST
 *                            (5/24/00), as drives and adapters that take less (default 64)
 *   FAKE_CDROM_READ_LOG      a file to which each READ CD of audio appends "read LBA COUNT"
 * Reads go through the drive's cache, and READ CD may ask for C2 fields (fake_cache.c).
 * CDROMREADAUDIO (the kernel's read of CD-DA, through which Wine's raw read of audio goes)
 * answers the same, a failure as EIO, or ENOMEDIUM for a disc gone.
 * A READ CD of a data track's sectors answers ILLEGAL REQUEST, illegal mode for this track
 * (5/64/00); one past the lead-out, logical block address out of range (5/21/00).
 * Lists of blocks are separated by spaces.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <linux/cdrom.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fake_drive.h"

enum { kSamplesPerSector = 588, kSectorBytes = 2352, kMaxListed = 256 };

/* Whether `block` is one of the blocks a setting lists. */
static int listed(const char *settingName, long block) {
  const char *text = fake_setting(settingName, "");
  char *end;
  for (;;) {
    const long value = strtol(text, &end, 10);
    if (end == text) return 0;
    if (value == block) return 1;
    text = end;
  }
}

/* How often each block that a setting lists has been read, for the process. */
struct Reads {
  long blocks[kMaxListed];
  int counts[kMaxListed];
  int used;
};

/* How often `block` was read before, counting this read; -1 for a block the setting does not
 * list. */
static int readsBefore(struct Reads *reads, const char *settingName, long block) {
  if (!listed(settingName, block)) return -1;
  for (int i = 0; i < reads->used; ++i) {
    if (reads->blocks[i] == block) return reads->counts[i]++;
  }
  if (reads->used == kMaxListed) return -1;
  reads->blocks[reads->used] = block;
  reads->counts[reads->used++] = 1;
  return 0;
}

static uint32_t sampleAt(long long position, long long discSamples) {
  if (position < 0 || position >= discSamples) return 0;
  return (uint32_t)((uint64_t)position * 2654435761u + 12345u);
}

/* The track that holds block `lba`, as an index into the table's starts; -1 for none. */
static int trackIndexOf(const long *table, int count, long lba) {
  int index = -1;
  for (int i = 3; i < count; ++i) {
    if (table[i] - kLeadInFrames <= lba) index = i;
  }
  return index;
}

int fake_discSector(const struct FakeDisc *disc, long block, unsigned char *sector) {
  static unsigned reads; /* of unstable and scratched blocks, to make each read differ */
  static struct Reads flakyReads, scratchedReads, waveringReads, concealedReads, stuckReads;
  for (int i = 0; i < kSamplesPerSector; ++i) {
    const long long position = (long long)block * kSamplesPerSector + i;
    const uint32_t sample = sampleAt(position - disc->offset, disc->discSamples);
    for (int b = 0; b < 4; ++b) sector[4 * i + b] = (unsigned char)(sample >> (8 * b));
  }
  if (readsBefore(&flakyReads, "FAKE_CDROM_FLAKY", block) == 0) memset(sector, 0, kSectorBytes);
  const int waveredBefore = readsBefore(&waveringReads, "FAKE_CDROM_WAVERING", block);
  if (waveredBefore > 0 && waveredBefore != 2) {
    sector[kSectorBytes / 2] ^= (unsigned char)waveredBefore;
  }
  if (listed("FAKE_CDROM_UNSTABLE", block)) sector[kSectorBytes / 2] ^= (unsigned char)++reads;
  if (readsBefore(&concealedReads, "FAKE_CDROM_CONCEALED", block) % 2 == 0) {
    sector[kSectorBytes / 2] ^= 0x5a;
  }
  const int stuck = readsBefore(&stuckReads, "FAKE_CDROM_STUCK", block);
  if (stuck == 0 || stuck == 1) {
    sector[kSectorBytes / 2] ^= 0xa5;
    return stuck == 0 || fake_is("FAKE_CDROM_STUCK_FLAGS", "both", "both");
  }
  const int scratched = readsBefore(&scratchedReads, "FAKE_CDROM_SCRATCHED", block);
  if (scratched >= 0 && scratched % 3 != 2) {
    sector[kSectorBytes / 2] ^= (unsigned char)(1 + ++reads % 255);
    return fake_is("FAKE_CDROM_C2", "flag", "flag");
  }
  return fake_is("FAKE_CDROM_C2_FALSE", "", "all") || listed("FAKE_CDROM_C2_FALSE", block);
}

int fake_answerAudio(sg_io_hdr_t *io, const unsigned char *command) {
  static struct Reads failingReads;
  long table[kMaxTracks + 3];
  int data[kMaxTracks + 3];
  const int count = fake_readTable(table, data);
  if (count < 4) return fake_checkCondition(io, 3, 0x57, 0);
  const long lba = (long)command[2] << 24 | command[3] << 16 | command[4] << 8 | command[5];
  const long sectors = command[6] << 16 | command[7] << 8 | command[8];
  char line[48];
  snprintf(line, sizeof line, "read %ld %ld\n", lba, sectors);
  fake_appendLine("FAKE_CDROM_READ_LOG", line);
  const long leadOut = table[2] - kLeadInFrames;
  const long c2Bytes = fake_c2Bytes((command[9] >> 1) & 3);
  if (io->cmd_len < 12 || sectors > atol(fake_setting("FAKE_CDROM_MAX_SECTORS", "64")) ||
      c2Bytes < 0) {
    return fake_checkCondition(io, 5, 0x24, 0);
  }
  if (lba < 0 || lba + sectors > leadOut) return fake_checkCondition(io, 5, 0x21, 0);
  const long goneAt = atol(fake_setting("FAKE_CDROM_GONE_AT", "-1"));
  for (long block = lba; block < lba + sectors; ++block) {
    const int track = trackIndexOf(table, count, block);
    if (track >= 0 && data[track]) return fake_checkCondition(io, 5, 0x64, 0);
    if (goneAt >= 0 && block >= goneAt) return fake_checkCondition(io, 2, 0x3a, 0);
    if (listed("FAKE_CDROM_UNREADABLE", block)) return fake_checkCondition(io, 3, 0x11, 0x05);
    const int failedBefore = readsBefore(&failingReads, "FAKE_CDROM_FAILS_TWICE", block);
    if (failedBefore == 0 || failedBefore == 1) return fake_checkCondition(io, 3, 0x11, 0x05);
  }
  const long c2Sent = c2Bytes == 0 || fake_is("FAKE_CDROM_C2_SENT", "asked", "asked") ? c2Bytes
                      : fake_is("FAKE_CDROM_C2_SENT", "asked", "none")                ? 0
                                                                                      : 296;
  const size_t sectorBytes = kSectorBytes + (size_t)c2Sent;
  const size_t asked = (size_t)sectors * (kSectorBytes + (size_t)c2Bytes);
  unsigned char *reply = malloc((size_t)sectors * sectorBytes + 1);
  if (reply == NULL) return fake_checkCondition(io, 4, 0x44, 0);
  const long offset = atol(fake_setting("FAKE_CDROM_READ_OFFSET", "0"));
  const struct FakeDisc disc = {leadOut, offset, (long long)leadOut * kSamplesPerSector};
  for (long block = lba; block < lba + sectors; ++block) {
    unsigned char *sector = reply + (size_t)(block - lba) * sectorBytes;
    const int flagged = fake_driveSector(&disc, block, sector);
    if (c2Sent > 0) fake_putC2(sector + kSectorBytes, c2Sent, flagged);
  }
  fake_endOfRead(&disc, lba + sectors);
  fake_deliver(io, reply, (size_t)sectors * sectorBytes, asked);
  free(reply);
  return 0;
}

int fake_answerReadAudio(struct cdrom_read_audio *request) {
  long lba = request->addr.lba;
  if (request->addr_format == CDROM_MSF) {
    lba = (request->addr.msf.minute * 60L + request->addr.msf.second) * 75 +
          request->addr.msf.frame - kLeadInFrames;
  }
  const unsigned char command[12] = {0xbe,
                                     0x04,
                                     (unsigned char)(lba >> 24),
                                     (unsigned char)(lba >> 16),
                                     (unsigned char)(lba >> 8),
                                     (unsigned char)lba,
                                     (unsigned char)(request->nframes >> 16),
                                     (unsigned char)(request->nframes >> 8),
                                     (unsigned char)request->nframes,
                                     0x10};
  unsigned char sense[32];
  sg_io_hdr_t io = {.interface_id = 'S',
                    .cmd_len = sizeof command,
                    .mx_sb_len = sizeof sense,
                    .dxfer_len = (unsigned)request->nframes * kSectorBytes,
                    .dxferp = request->buf,
                    .sbp = sense};
  fake_answerAudio(&io, command);
  if (io.status == 0) return 0;
  errno = io.sb_len_wr > 2 && (sense[2] & 0x0f) == 2 ? ENOMEDIUM : EIO;
  return -1;
}
