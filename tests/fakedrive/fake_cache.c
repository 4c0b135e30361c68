/*
 * The fake drive's cache of audio, its C2 error pointers and its capabilities page: what a
 * real drive does between the disc and READ CD, so that a test sees which reads came from
 * the disc.
 *
 * Environment:
 *   FAKE_CDROM_CACHE_SECTORS  the sectors the cache holds, least recently used dropped first
 *                             (default 0: no cache, every read from the disc)
 *   FAKE_CDROM_READ_AHEAD     after each READ CD, the sectors after it read into the cache
 *                             where it lacks them (default 16 with a cache)
 *   FAKE_CDROM_FUA            READ(12) with FUA: "honour" empties the cache, "ignore" (the
 *                             default) accepts it and keeps the cache, as many drives do;
 *                             each is logged as "fua LBA" to FAKE_CDROM_READ_LOG
 *   FAKE_CDROM_C2_FORMS       the C2 fields READ CD takes: "294 296" (the default), one of
 *                             them, or "none"; another is refused (5/24/00)
 *   FAKE_CDROM_MODE_SENSE     MODE SENSE(10) of the capabilities page: "answer" (the default)
 *                             or "refuse" (5/20/00)
 *   FAKE_CDROM_BUFFER_KB      the buffer size the page reports (default 2048); it claims C2
 *                             pointers where a form is taken
 *   FAKE_CDROM_READ_COUNTS    a file rewritten after each READ CD: "disc N cache M", the
 *                             sectors read from the disc (read-ahead included) and those
 *                             answered from the cache, for the process
 * A flagged sector's C2 field marks the byte fake_audio.c changed (the 296-byte form also its
 * block error byte).
 */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "fake_drive.h"

enum {
  kSectorBytes = 2352,
  kC2Bits = 294,
  kC2BlockAndBits = 296,
  kModeSense10 = 0x5a,
  kRead12 = 0xa8,
  kCapabilitiesPage = 0x2a,
};

struct Cache {
  long capacity; /* -1 until read from the environment */
  long *blocks;
  unsigned long long *used; /* when each entry was last used; 0: empty */
  unsigned char *samples;
  unsigned char *flags;
  unsigned long long clock;
  long discReads, hits;
};

static struct Cache cache = {.capacity = -1};

static struct Cache *theCache(void) {
  if (cache.capacity >= 0) return &cache;
  cache.capacity = atol(fake_setting("FAKE_CDROM_CACHE_SECTORS", "0"));
  if (cache.capacity < 0) cache.capacity = 0;
  cache.blocks = calloc((size_t)cache.capacity + 1, sizeof *cache.blocks);
  cache.used = calloc((size_t)cache.capacity + 1, sizeof *cache.used);
  cache.samples = malloc(((size_t)cache.capacity + 1) * kSectorBytes);
  cache.flags = calloc((size_t)cache.capacity + 1, 1);
  if (!cache.blocks || !cache.used || !cache.samples || !cache.flags) cache.capacity = 0;
  return &cache;
}

static long entryOf(const struct Cache *held, long block) {
  for (long i = 0; i < held->capacity; ++i) {
    if (held->used[i] != 0 && held->blocks[i] == block) return i;
  }
  return -1;
}

static void keep(struct Cache *held, long block, const unsigned char *sector, int flagged) {
  if (held->capacity == 0) return;
  long slot = 0;
  for (long i = 1; i < held->capacity; ++i) {
    if (held->used[i] < held->used[slot]) slot = i;
  }
  held->blocks[slot] = block;
  held->used[slot] = ++held->clock;
  memcpy(held->samples + (size_t)slot * kSectorBytes, sector, kSectorBytes);
  held->flags[slot] = (unsigned char)flagged;
}

int fake_driveSector(const struct FakeDisc *disc, long block, unsigned char *sector) {
  struct Cache *held = theCache();
  const long entry = entryOf(held, block);
  if (entry >= 0) {
    ++held->hits;
    held->used[entry] = ++held->clock;
    memcpy(sector, held->samples + (size_t)entry * kSectorBytes, kSectorBytes);
    return held->flags[entry];
  }
  ++held->discReads;
  const int flagged = fake_discSector(disc, block, sector);
  keep(held, block, sector, flagged);
  return flagged;
}

void fake_endOfRead(const struct FakeDisc *disc, long next) {
  struct Cache *held = theCache();
  if (held->capacity > 0) {
    const long ahead = atol(fake_setting("FAKE_CDROM_READ_AHEAD", "16"));
    unsigned char sector[kSectorBytes];
    for (long block = next; block < next + ahead && block < disc->leadOut; ++block) {
      if (entryOf(held, block) >= 0) continue;
      ++held->discReads;
      keep(held, block, sector, fake_discSector(disc, block, sector));
    }
  }
  const char *path = getenv("FAKE_CDROM_READ_COUNTS");
  if (path == NULL) return;
  char line[64];
  const int length =
      snprintf(line, sizeof line, "disc %ld cache %ld\n", held->discReads, held->hits);
  const int file = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file < 0) return;
  if (write(file, line, (size_t)length) != length) perror("fake cdrom counts");
  close(file);
}

/* Whether the drive takes a C2 field of `bytes`. */
static int takesForm(int bytes) {
  const char *forms = fake_setting("FAKE_CDROM_C2_FORMS", "294 296");
  char wanted[8];
  snprintf(wanted, sizeof wanted, "%d", bytes);
  return strstr(forms, wanted) != NULL;
}

long fake_c2Bytes(int field) {
  if (field == 0) return 0;
  const int bytes = field == 1 ? kC2Bits : field == 2 ? kC2BlockAndBits : -1;
  return bytes > 0 && takesForm(bytes) ? bytes : -1;
}

void fake_putC2(unsigned char *field, long bytes, int flagged) {
  memset(field, 0, (size_t)bytes);
  if (!flagged) return;
  unsigned char *bits = field + (bytes == kC2BlockAndBits ? 2 : 0);
  if (bytes == kC2BlockAndBits) field[0] = 1;
  bits[kSectorBytes / 2 / 8] = 0x80; /* the byte fake_audio.c changes */
}

int fake_answerCache(sg_io_hdr_t *io, const unsigned char *command) {
  if (command[0] == kRead12) {
    const long length = (long)command[6] << 24 | command[7] << 16 | command[8] << 8 | command[9];
    if (length != 0) return fake_checkCondition(io, 5, 0x64, 0), 1;
    if ((command[1] & 0x08) != 0) {
      char line[48];
      snprintf(line, sizeof line, "fua %ld\n",
               (long)command[2] << 24 | command[3] << 16 | command[4] << 8 | command[5]);
      fake_appendLine("FAKE_CDROM_READ_LOG", line);
    }
    if ((command[1] & 0x08) != 0 && fake_is("FAKE_CDROM_FUA", "ignore", "honour")) {
      struct Cache *held = theCache();
      memset(held->used, 0, (size_t)held->capacity * sizeof *held->used);
    }
    return 1;
  }
  if (command[0] != kModeSense10 || (command[2] & 0x3f) != kCapabilitiesPage) return 0;
  if (fake_is("FAKE_CDROM_MODE_SENSE", "answer", "refuse")) {
    return fake_checkCondition(io, 5, 0x20, 0), 1;
  }
  unsigned char reply[8 + 28] = {0, sizeof reply - 2};
  unsigned char *page = reply + 8;
  page[0] = kCapabilitiesPage;
  page[1] = 26;
  if (takesForm(kC2Bits) || takesForm(kC2BlockAndBits)) page[5] = 0x10;
  const long kilobytes = atol(fake_setting("FAKE_CDROM_BUFFER_KB", "2048"));
  page[12] = (unsigned char)(kilobytes >> 8);
  page[13] = (unsigned char)kilobytes;
  fake_deliver(io, reply, sizeof reply, (size_t)(command[7] << 8 | command[8]));
  return 1;
}
