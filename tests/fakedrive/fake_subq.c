/*
 * The fake drive's disc layout in the Q sub-channel: pregaps (index 00), index points,
 * pre-emphasis in the table of contents, the Q data or both, and what drives do wrong with
 * Q data. The position frames fake_extras.c sends come from here; so does the pre-emphasis
 * bit of the table's CONTROL nibbles. A first track that starts after frame 150 has its
 * pregap from there on (a hidden track: the audio there is the fake drive's usual samples).
 *
 * Environment, besides fake_cdrom.c's:
 *   FAKE_CDROM_LAYOUT   words: "pregap TRACK FRAMES" (the index 00 frames before the track's
 *                       start), "index TRACK FRAME" (an index point's absolute frame, in
 *                       order: 02, 03, ...), "emphasis TRACK toc|q|both"
 *   FAKE_CDROM_Q_SKEW   a READ CD of Q sends the Q of the sector this many after each one
 *                       asked (negative: before), as drives that answer a few sectors off
 *   FAKE_CDROM_Q_BAD    absolute frames whose Q arrives with its CRC wrong, "all",
 *                       "every N+R" (each frame that leaves R divided by N), or "sent N"
 *                       (each N-th frame the drive sends, counted over every read: a frame
 *                       read again may come good)
 *   FAKE_CDROM_Q_CLAIM  "FRAME:TRACK:INDEX ...": frames whose Q claims that track and index
 *                       (its CRC right), as a corrupt disc or a drive's mix-up gives
 */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fake_drive.h"

enum { kMaxIndexes = 16, kEmphasisToc = 1, kEmphasisQ = 2 };

struct Layout {
  long pregaps[kMaxTracks + 1];
  long indexes[kMaxTracks + 1][kMaxIndexes];
  int indexCounts[kMaxTracks + 1];
  int emphasis[kMaxTracks + 1];
};

static void readLayout(struct Layout *layout) {
  memset(layout, 0, sizeof *layout);
  const char *text = fake_setting("FAKE_CDROM_LAYOUT", "");
  char word[16], how[8];
  int track, used;
  long value;
  while (sscanf(text, "%15s %d %n", word, &track, &used) == 2 && track >= 0 &&
         track <= kMaxTracks) {
    text += used;
    if (strcmp(word, "emphasis") == 0 && sscanf(text, "%7s %n", how, &used) == 1) {
      layout->emphasis[track] = strcmp(how, "toc") == 0 ? kEmphasisToc
                                : strcmp(how, "q") == 0 ? kEmphasisQ
                                                        : kEmphasisToc | kEmphasisQ;
    } else if (sscanf(text, "%ld %n", &value, &used) == 1 && strcmp(word, "pregap") == 0) {
      layout->pregaps[track] = value;
    } else if (strcmp(word, "index") == 0 && layout->indexCounts[track] < kMaxIndexes) {
      layout->indexes[track][layout->indexCounts[track]++] = value;
    } else {
      return;
    }
    text += used;
  }
}

int fake_tocEmphasis(long track) {
  struct Layout layout;
  readLayout(&layout);
  return track >= 0 && track <= kMaxTracks && (layout.emphasis[track] & kEmphasisToc) != 0;
}

long fake_qSkew(void) { return atol(fake_setting("FAKE_CDROM_Q_SKEW", "0")); }

int fake_qCrcSpoiled(long frame, long sent) {
  const char *text = fake_setting("FAKE_CDROM_Q_BAD", "");
  if (strcmp(text, "all") == 0) return 1;
  long every, rest = 0;
  if (sscanf(text, "every %ld+%ld", &every, &rest) >= 1) return every > 0 && frame % every == rest;
  if (sscanf(text, "sent %ld", &every) == 1) return every > 0 && sent % every == every - 1;
  char *end;
  for (long value = strtol(text, &end, 10); end != text; value = strtol(text, &end, 10)) {
    if (value == frame) return 1;
    text = end;
  }
  return 0;
}

static unsigned char bcd(long value) { return (unsigned char)(value / 10 << 4 | value % 10); }

void fake_positionQ(unsigned char *q, long frame, const long *table, int count, const int *data) {
  struct Layout layout;
  readLayout(&layout);
  int holder = 3; /* the table's index of the track whose part holds the frame */
  while (holder + 1 < count && table[holder + 1] <= frame) ++holder;
  long track = table[0] + holder - 3, index = 1, relative = frame - table[holder];
  if (frame < table[3]) {
    index = 0, relative = table[3] - frame;
  } else if (holder + 1 < count && frame >= table[holder + 1] - layout.pregaps[track + 1]) {
    ++holder, ++track, index = 0, relative = table[holder] - frame;
  } else {
    for (int i = 0; i < layout.indexCounts[track]; ++i) index += layout.indexes[track][i] <= frame;
  }
  const char *claims = fake_setting("FAKE_CDROM_Q_CLAIM", "");
  long at, claimedTrack, claimedIndex;
  int used;
  while (sscanf(claims, "%ld:%ld:%ld%n", &at, &claimedTrack, &claimedIndex, &used) == 3) {
    if (at == frame) track = claimedTrack, index = claimedIndex;
    claims += used;
  }
  const int emphasis = track <= kMaxTracks && (layout.emphasis[track] & kEmphasisQ) != 0;
  q[0] = (unsigned char)((data[holder] ? 0x40 : 0) | (emphasis ? 0x10 : 0) | 0x01);
  q[1] = bcd(track);
  q[2] = bcd(index);
  q[3] = bcd(relative / 4500), q[4] = bcd(relative / 75 % 60), q[5] = bcd(relative % 75);
  q[7] = bcd(frame / 4500), q[8] = bcd(frame / 75 % 60), q[9] = bcd(frame % 75);
}
