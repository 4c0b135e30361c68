/*
 * What the fake drive's disc carries beside its table: the catalog number, ISRCs and
 * CD-Text of the lines of the table-of-contents file that FAKE_CDROM_DISC names (catalog,
 * isrc, cdtext-block, cdtext: the syntax of Tocmate's files). It answers INQUIRY, READ
 * SUB-CHANNEL formats 02h and 03h, READ TOC format 5 (CD-Text packs with their CRCs and
 * size information) and READ CD with formatted Q sub-channel, as a drive does.
 *
 * Environment, besides fake_cdrom.c's:
 *   FAKE_CDROM_ISRC     latched: READ SUB-CHANNEL answers a track's ISRC request with the
 *                       previous track's ISRC, as drives that report the last ISRC they saw;
 *                       lagging: with that of the nearest track before it that has one, none
 *                       for the first, as a drive whose latch lags one request behind;
 *                       country-digit: with the track's ISRC, its country code's second
 *                       letter a digit
 *   FAKE_CDROM_SUBCHANNEL  unmarked: READ SUB-CHANNEL replies hold the catalog number and
 *                       ISRCs with their valid bits clear
 *   FAKE_CDROM_Q        damaged: every sector's Q that carries no ISRC or catalog number
 *                       carries another, valid-looking ISRC with its CRC wrong
 *   FAKE_CDROM_Q_ISRC_AT  a number of sectors: a track's Q carries its ISRC only in the
 *                       sector that many after the track's start
 *   FAKE_CDROM_CDTEXT   corrupt: every fourth pack arrives with a byte changed (its CRC
 *                       then fails); unsized: no size information packs; unflagged: no pack
 *                       sets the double-byte flag
 *   FAKE_CDROM_CDTEXT_CODE  the character code (hexadecimal) the size information gives every
 *                       block, in place of its own
 *   FAKE_CDROM_CDTEXT_BEYOND  a block number: that block and the later ones carry texts
 *                       only for tracks past the table's last, numbered on from it
 *   FAKE_CDROM_REFUSE   extras the drive answers ILLEGAL REQUEST, of mcn, isrc, cdtext and
 *                       q (READ CD), separated by spaces
 */
#define _GNU_SOURCE
#include <linux/cdrom.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fake_drive.h"

enum {
  kReadSubchannel = 0x42,
  kReadToc = 0x43,
  kReadCd = 0xbe,
  kBlocks = 8,
  kTextLength = 160, /* the most bytes of one text a line gives */
  kPackSize = 18,
  kMaxPacks = kBlocks * 256,
  kFirstType = 0x80,
  kTypes = 16, /* 80h to 8Fh */
};

struct Block {
  int present;
  int language;
  int characterCode; /* 00h, 01h, 80h */
  /* texts[type - 80h][track]: a text's bytes and length; length -1: none */
  unsigned char texts[kTypes][kMaxTracks + 1][kTextLength];
  int lengths[kTypes][kMaxTracks + 1];
};

struct Disc {
  char catalog[14];
  char isrcs[kMaxTracks + 1][13];
  struct Block blocks[kBlocks];
};

static const char *const kFieldNames[] = {"title",    "performer", "songwriter", "composer",
                                          "arranger", "message",   "catalog",    "genre"};

static int fieldType(const char *name) {
  for (int i = 0; i < 8; ++i) {
    if (strcmp(name, kFieldNames[i]) == 0) return kFirstType + i;
  }
  return strcmp(name, "upc") == 0 || strcmp(name, "isrc") == 0 ? 0x8e : -1;
}

/* A text's bytes, \xNN being the byte NN. */
static int unescape(const char *text, unsigned char *bytes, int room) {
  int length = 0;
  for (const char *c = text; *c != '\0' && *c != '\n' && length < room; ++c) {
    unsigned value;
    if (c[0] == '\\' && c[1] == 'x' && sscanf(c + 2, "%2x", &value) == 1 && c[2] && c[3]) {
      bytes[length++] = (unsigned char)value;
      c += 3;
    } else {
      bytes[length++] = (unsigned char)*c;
    }
  }
  return length;
}

static void addText(struct Disc *disc, char *line) {
  int block, track, offset = 0;
  char field[16];
  if (sscanf(line, "cdtext %d %d %15s %n", &block, &track, field, &offset) != 3 || offset == 0 ||
      block < 0 || block >= kBlocks || track < 0 || track > kMaxTracks || fieldType(field) < 0) {
    return;
  }
  const int type = fieldType(field) - kFirstType;
  unsigned char *bytes = disc->blocks[block].texts[type][track];
  const char *text = line + offset;
  int length = 0;
  if (type == 7) { /* genre: its code in two bytes, then the text */
    int code = 0, skip = 0;
    if (sscanf(text, "%d %n", &code, &skip) < 1) return;
    bytes[0] = (unsigned char)(code >> 8);
    bytes[1] = (unsigned char)code;
    text += skip;
    length = 2;
  }
  length += unescape(text, bytes + length, kTextLength - 2 - length);
  disc->blocks[block].lengths[type][track] = length;
}

/* The disc's extras, from the file; all absent where there is none. */
static struct Disc *readDisc(void) {
  struct Disc *disc = calloc(1, sizeof *disc);
  if (disc == NULL) return NULL;
  for (int b = 0; b < kBlocks; ++b)
    memset(disc->blocks[b].lengths, 0xff, sizeof disc->blocks[b].lengths);
  const char *path = getenv("FAKE_CDROM_DISC");
  FILE *file = path != NULL ? fopen(path, "re") : NULL;
  if (file == NULL) return disc;
  char line[1024], word[16], value[16];
  int number, language;
  while (fgets(line, sizeof line, file) != NULL) {
    if (sscanf(line, "catalog %13s", disc->catalog) == 1) continue;
    if (sscanf(line, "isrc %d %12s", &number, value) == 2 && number >= 0 && number <= kMaxTracks) {
      memcpy(disc->isrcs[number], value, 13);
    } else if (sscanf(line, "cdtext-block %d %x %15s", &number, &language, word) == 3 &&
               number >= 0 && number < kBlocks) {
      struct Block *block = &disc->blocks[number];
      block->present = 1;
      block->language = language;
      block->characterCode = strcmp(word, "msjis") == 0 ? 0x80 : strcmp(word, "ascii") == 0;
    } else if (strncmp(line, "cdtext ", 7) == 0) {
      addText(disc, line);
    }
  }
  fclose(file);
  return disc;
}

static int refuses(const char *extra) {
  const char *list = fake_setting("FAKE_CDROM_REFUSE", "");
  const size_t length = strlen(extra);
  for (const char *at = strstr(list, extra); at != NULL; at = strstr(at + 1, extra)) {
    if ((at == list || at[-1] == ' ') && (at[length] == '\0' || at[length] == ' ')) return 1;
  }
  return 0;
}

/* CRC-16 (1021h) as CD sub-channel and CD-Text store it: inverted, big-endian. */
static void putCrc(unsigned char *data, int size) {
  unsigned crc = 0;
  for (int i = 0; i < size; ++i) {
    crc ^= (unsigned)data[i] << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1 ^ 0x1021) : crc << 1;
  }
  crc = ~crc & 0xffff;
  data[size] = (unsigned char)(crc >> 8);
  data[size + 1] = (unsigned char)crc;
}

int fake_answerInquiry(sg_io_hdr_t *io, const unsigned char *command) {
  unsigned char reply[36] = {0x05, 0x80, 0x05, 0x32, 31};
  memcpy(reply + 8, "TOCMATE FAKE CD DRIVE   1.00", 28);
  return fake_deliver(io, reply, sizeof reply, command[4]);
}

int fake_answerMcn(struct cdrom_mcn *mcn) {
  struct Disc *disc = readDisc();
  memset(mcn, 0, sizeof *mcn);
  if (disc != NULL) memcpy(mcn->medium_catalog_number, disc->catalog, 13);
  free(disc);
  return 0;
}

/* READ SUB-CHANNEL, formats 02h and 03h. */
static int readSubchannel(sg_io_hdr_t *io, const unsigned char *command, const struct Disc *disc,
                          const long *table, int count) {
  const int format = command[3];
  const int unmarked = fake_is("FAKE_CDROM_SUBCHANNEL", "", "unmarked");
  unsigned char reply[24] = {0, 0x15, 0, 20, (unsigned char)format};
  if (format == 2) {
    if (refuses("mcn")) return fake_checkCondition(io, 5, 0x24, 0);
    if (disc->catalog[0] != '\0') {
      reply[8] = unmarked ? 0 : 0x80;
      memcpy(reply + 9, disc->catalog, 13);
    }
  } else if (format == 3) {
    const int track = command[6];
    if (refuses("isrc")) return fake_checkCondition(io, 5, 0x24, 0);
    if (track < table[0] || track > table[1] || 3 + track - table[0] >= count) {
      return fake_checkCondition(io, 5, 0x24, 0);
    }
    int answered = track;
    if (fake_is("FAKE_CDROM_ISRC", "", "latched") && track > table[0]) answered = track - 1;
    if (fake_is("FAKE_CDROM_ISRC", "", "lagging")) {
      do --answered;
      while (answered >= table[0] && disc->isrcs[answered][0] == '\0');
    }
    const char *isrc = answered >= table[0] ? disc->isrcs[answered] : "";
    reply[5] = 0x10;
    reply[6] = (unsigned char)track;
    if (isrc[0] != '\0') {
      reply[8] = unmarked ? 0 : 0x80;
      memcpy(reply + 9, isrc, 12);
      if (fake_is("FAKE_CDROM_ISRC", "", "country-digit")) reply[10] = '0';
    }
  } else {
    return fake_checkCondition(io, 5, 0x24, 0);
  }
  return fake_deliver(io, reply, sizeof reply, (size_t)(command[7] << 8 | command[8]));
}

/* Packs of one text type of one block: every track's text from the album on, each ended
 * by one NUL (two for double-byte: the texts before the catalogue text in an MS-JIS block),
 * a text equal to the previous track's as a TAB. */
static int packTexts(const struct Block *block, int number, int type, int lastTrack,
                     unsigned char *packs, int at, int *sequence) {
  const int width = block->characterCode == 0x80 && type < 6 ? 2 : 1;
  const int beyond = atoi(fake_setting("FAKE_CDROM_CDTEXT_BEYOND", "8"));
  unsigned char stream[(kMaxTracks + 1) * (kTextLength + 2)];
  int owners[(kMaxTracks + 1) * (kTextLength + 2)], starts[kMaxTracks + 1], length = 0, any = 0;
  for (int track = 0; track <= lastTrack; ++track) {
    const int size = block->lengths[type][track];
    any |= size >= 0;
    starts[track] = length;
    const int same = track > 1 && size > 0 && size == block->lengths[type][track - 1] &&
                     memcmp(block->texts[type][track], block->texts[type][track - 1], size) == 0;
    if (same) {
      for (int i = 0; i < width; ++i) owners[length] = track, stream[length++] = '\t';
    } else {
      for (int i = 0; i < size; ++i)
        owners[length] = track, stream[length++] = block->texts[type][track][i];
    }
    for (int i = 0; i < width; ++i) owners[length] = track, stream[length++] = 0;
    if (type == 6 || type == 7) break; /* the album's alone */
  }
  if (!any) return at;
  for (int offset = 0; offset < length && at < kMaxPacks; offset += 12, ++at) {
    unsigned char *pack = packs + at * kPackSize;
    const int track = owners[offset];
    const int position = (offset - starts[track]) / width;
    pack[0] = (unsigned char)(kFirstType + type);
    const int flagged = width == 2 && !fake_is("FAKE_CDROM_CDTEXT", "", "unflagged");
    pack[1] = (unsigned char)(track + (number >= beyond ? lastTrack + 1 : 0));
    pack[2] = (unsigned char)(*sequence)++;
    pack[3] = (unsigned char)((flagged ? 0x80 : 0) | number << 4 | (position > 15 ? 15 : position));
    memset(pack + 4, 0, 12);
    memcpy(pack + 4, stream + offset, length - offset < 12 ? (size_t)(length - offset) : 12);
    putCrc(pack, 16);
  }
  return at;
}

/* The whole of a disc's CD-Text packs; returns their count. */
static int buildPacks(const struct Disc *disc, int firstTrack, int lastTrack,
                      unsigned char *packs) {
  int at = 0, lastSequence[kBlocks] = {0};
  int counts[kBlocks][kTypes] = {{0}};
  for (int number = 0; number < kBlocks; ++number) {
    const struct Block *block = &disc->blocks[number];
    if (!block->present) continue;
    int sequence = 0;
    for (int type = 0; type < 15; ++type) {
      const int before = at;
      at = packTexts(block, number, type, lastTrack, packs, at, &sequence);
      counts[number][type] = at - before;
    }
    if (!fake_is("FAKE_CDROM_CDTEXT", "", "unsized")) {
      counts[number][15] = 3;
      lastSequence[number] = sequence + 2;
      for (int i = 0; i < 3 && at < kMaxPacks; ++i, ++at) {
        unsigned char *pack = packs + at * kPackSize;
        memset(pack, 0, kPackSize);
        pack[0] = 0x8f;
        pack[1] = (unsigned char)i;
        pack[2] = (unsigned char)sequence++;
        pack[3] = (unsigned char)(number << 4);
      }
    }
  }
  /* The size information: the character code, the tracks, the pack counts, every block's
   * last sequence number and language. */
  for (int i = 0; i < at; ++i) {
    unsigned char *pack = packs + i * kPackSize;
    if (pack[0] != 0x8f) continue;
    const int number = pack[3] >> 4 & 7;
    unsigned char *text = pack + 4;
    if (pack[1] == 0) {
      const char *code = getenv("FAKE_CDROM_CDTEXT_CODE");
      text[0] = (unsigned char)(code != NULL ? strtol(code, NULL, 16)
                                             : disc->blocks[number].characterCode);
      text[1] = (unsigned char)firstTrack;
      text[2] = (unsigned char)lastTrack;
      for (int type = 0; type < 8; ++type) text[4 + type] = (unsigned char)counts[number][type];
    } else if (pack[1] == 1) {
      for (int type = 8; type < 16; ++type) text[type - 8] = (unsigned char)counts[number][type];
      for (int b = 0; b < 4; ++b) text[8 + b] = (unsigned char)lastSequence[b];
    } else {
      for (int b = 4; b < 8; ++b) text[b - 4] = (unsigned char)lastSequence[b];
      for (int b = 0; b < 8; ++b) {
        text[4 + b] = (unsigned char)(disc->blocks[b].present ? disc->blocks[b].language : 0);
      }
    }
    putCrc(pack, 16);
  }
  if (fake_is("FAKE_CDROM_CDTEXT", "", "corrupt")) {
    for (int i = 1; i < at; i += 4) packs[i * kPackSize + 5] ^= 0x20;
  }
  return at;
}

/* READ TOC format 5: the header, then the packs, cut to the allocation. */
static int readCdText(sg_io_hdr_t *io, const unsigned char *command, const struct Disc *disc,
                      const long *table) {
  if (refuses("cdtext")) return fake_checkCondition(io, 5, 0x24, 0);
  unsigned char *reply = calloc(1, 4 + kMaxPacks * kPackSize);
  if (reply == NULL) return fake_checkCondition(io, 4, 0x44, 0);
  const int packs = buildPacks(disc, (int)table[0], (int)table[1], reply + 4);
  const size_t length = 4 + (size_t)packs * kPackSize;
  reply[0] = (unsigned char)((length - 2) >> 8);
  reply[1] = (unsigned char)(length - 2);
  fake_deliver(io, reply, packs > 0 ? length : 4, (size_t)(command[7] << 8 | command[8]));
  free(reply);
  return 0;
}

static unsigned char bcd(long value) { return (unsigned char)(value / 10 << 4 | value % 10); }

/* One sector's formatted Q: its ISRC (ADR 3) every 25 sectors where its track has one (or
 * where FAKE_CDROM_Q_ISRC_AT says), the catalog number (ADR 2) as often, its position (ADR 1)
 * otherwise; the CRC after. */
static void putQ(unsigned char *q, long frame, long sent, const struct Disc *disc,
                 const long *table, int count, const int *data) {
  int index = 3;
  while (index + 1 < count && table[index + 1] <= frame) ++index;
  const long track = table[0] + index - 3;
  const char *isrc = disc->isrcs[track];
  memset(q, 0, 16);
  const int damaged = fake_is("FAKE_CDROM_Q", "", "damaged") && frame % 25 != 3 && frame % 25 != 13;
  if (damaged) isrc = "QZDAM2600001";
  const char *isrcAt = getenv("FAKE_CDROM_Q_ISRC_AT");
  const int isrcHere = isrcAt != NULL ? frame - table[index] == atol(isrcAt) : frame % 25 == 3;
  if (damaged || (isrcHere && isrc[0] != '\0')) {
    q[0] = 0x03;
    unsigned long long bits = 0;
    for (int i = 0; i < 5; ++i) bits = bits << 6 | (unsigned)((isrc[i] - '0') & 0x3f);
    bits <<= 2;
    for (int i = 5; i < 12; ++i) bits = bits << 4 | (unsigned)(isrc[i] - '0');
    bits <<= 4;
    for (int i = 0; i < 8; ++i) q[1 + i] = (unsigned char)(bits >> (56 - 8 * i));
    q[9] = bcd(frame % 75);
  } else if (frame % 25 == 13 && disc->catalog[0] != '\0') {
    q[0] = 0x02;
    for (int i = 0; i < 13; ++i)
      q[1 + i / 2] |= (unsigned char)((disc->catalog[i] - '0') << (i % 2 ? 0 : 4));
    q[9] = bcd(frame % 75);
  } else {
    fake_positionQ(q, frame, table, count, data);
  }
  putCrc(q, 10);
  if (damaged || fake_qCrcSpoiled(frame, sent)) q[11] ^= 1;
}

/* The Q frames sent so far, over every read: a fault may strike every so many. */
static long framesSent = 0;

/* READ CD of formatted Q sub-channel alone: 16 bytes a sector. */
static int readQ(sg_io_hdr_t *io, const unsigned char *command, const struct Disc *disc,
                 const long *table, int count, const int *data) {
  const long lba = (long)command[2] << 24 | command[3] << 16 | command[4] << 8 | command[5];
  const long sectors = command[6] << 16 | command[7] << 8 | command[8];
  if (refuses("q") || io->cmd_len < 12 || command[9] != 0 || (command[10] & 7) != 2 || lba < 0 ||
      lba + sectors + kLeadInFrames > table[2] || sectors > 4096) {
    return fake_checkCondition(io, 5, 0x24, 0);
  }
  unsigned char *reply = malloc((size_t)sectors * 16 + 1);
  if (reply == NULL) return fake_checkCondition(io, 4, 0x44, 0);
  const long skew = fake_qSkew();
  for (long i = 0; i < sectors; ++i) {
    const long frame = lba + i + kLeadInFrames + skew;
    putQ(reply + 16 * i, frame < kLeadInFrames ? kLeadInFrames : frame, framesSent++, disc, table,
         count, data);
  }
  fake_deliver(io, reply, (size_t)sectors * 16, (size_t)sectors * 16);
  free(reply);
  return 0;
}

int fake_answerExtra(sg_io_hdr_t *io, const unsigned char *command) {
  long table[kMaxTracks + 3];
  int data[kMaxTracks + 3];
  const int count = fake_readTable(table, data);
  if (count < 4) return fake_checkCondition(io, 3, 0x57, 0);
  struct Disc *disc = readDisc();
  if (disc == NULL) return fake_checkCondition(io, 4, 0x44, 0);
  int result;
  if (command[0] == kReadSubchannel && (command[2] & 0x40) != 0) {
    result = readSubchannel(io, command, disc, table, count);
  } else if (command[0] == kReadToc && (command[2] & 0x0f) == 5) {
    result = readCdText(io, command, disc, table);
  } else if (command[0] == kReadCd) {
    result = readQ(io, command, disc, table, count, data);
  } else {
    result = fake_checkCondition(io, 5, 0x20, 0);
  }
  free(disc);
  return result;
}
