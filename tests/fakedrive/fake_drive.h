/* What the fake drive's files share. Hidden: the preloaded library exports only the
 * functions it stands in for. */
#pragma once
#include <scsi/sg.h>
#include <stddef.h>

#define FAKE_SHARED __attribute__((visibility("hidden")))

enum { kLeadInFrames = 150, kMaxTracks = 99, kLeadOutTrack = 0xaa };

FAKE_SHARED const char *fake_setting(const char *name, const char *fallback);
FAKE_SHARED int fake_is(const char *name, const char *fallback, const char *value);
/* Takes one from the count kept in the file a setting names; 1 if there was one to take. */
FAKE_SHARED int fake_takeOne(const char *settingName);
/* Appends a line to the file a setting names, if it names one. */
FAKE_SHARED void fake_appendLine(const char *settingName, const char *line);
FAKE_SHARED int fake_readTable(long values[kMaxTracks + 3], int data[kMaxTracks + 3]);
FAKE_SHARED int fake_checkCondition(sg_io_hdr_t *io, int key, int asc, int ascq);
/* Hands the caller `length` bytes of a reply, cut to the allocation, the buffer and the
 * FAKE_CDROM_TRANSFER limit, with the residue as FAKE_CDROM_RESIDUE says. */
FAKE_SHARED int fake_deliver(sg_io_hdr_t *io, const unsigned char *reply, size_t length,
                             size_t allocation);

/* The commands beside READ TOC's table: INQUIRY, READ SUB-CHANNEL, READ TOC format 5
 * (CD-Text) and READ CD's Q sub-channel (fake_extras.c). */
FAKE_SHARED int fake_answerInquiry(sg_io_hdr_t *io, const unsigned char *command);
FAKE_SHARED int fake_answerExtra(sg_io_hdr_t *io, const unsigned char *command);
/* The layout in the Q sub-channel (fake_subq.c): the pre-emphasis bit of a track in the
 * table, the skew of the Q sent against the sector asked, whether a frame's Q arrives with
 * its CRC wrong, and a position frame's bytes 0 to 9 (CONTROL/ADR to the absolute time). */
FAKE_SHARED int fake_tocEmphasis(long track);
FAKE_SHARED long fake_qSkew(void);
FAKE_SHARED int fake_qCrcSpoiled(long frame, long sent);
FAKE_SHARED void fake_positionQ(unsigned char *q, long frame, const long *table, int count,
                                const int *data);
/* READ CD of CD-DA sectors' samples (fake_audio.c). */
FAKE_SHARED int fake_answerAudio(sg_io_hdr_t *io, const unsigned char *command);
struct cdrom_read_audio;
FAKE_SHARED int fake_answerReadAudio(struct cdrom_read_audio *request);
/* The disc as fake_audio.c computes its sectors. */
struct FakeDisc {
  long leadOut;          /* in blocks */
  long offset;           /* the drive's read offset in samples */
  long long discSamples; /* samples from block 0 to the lead-out */
};
/* One sector as the disc gives it to one read; 1 where its C2 pointers flag it. */
FAKE_SHARED int fake_discSector(const struct FakeDisc *disc, long block, unsigned char *sector);
/* The drive's cache, C2 fields and capabilities page (fake_cache.c): a sector through the
 * cache; the end of a READ CD (read-ahead, the counts); a C2 field's bytes (-1: refused);
 * a flagged sector's field; MODE SENSE and READ(12): 1 if answered. */
FAKE_SHARED int fake_driveSector(const struct FakeDisc *disc, long block, unsigned char *sector);
FAKE_SHARED void fake_endOfRead(const struct FakeDisc *disc, long next);
FAKE_SHARED long fake_c2Bytes(int field);
FAKE_SHARED void fake_putC2(unsigned char *field, long bytes, int flagged);
FAKE_SHARED int fake_answerCache(sg_io_hdr_t *io, const unsigned char *command);
/* CDROM_GET_MCN. */
struct cdrom_mcn;
FAKE_SHARED int fake_answerMcn(struct cdrom_mcn *mcn);

/* The medium over time and the tray (fake_medium.c). The state and table that a schedule
 * gives for FAKE_CDROM_STATE and FAKE_CDROM_TOC, else null; */
FAKE_SHARED const char *fake_mediumSetting(const char *name);
/* TEST UNIT READY, media events, START STOP UNIT and a due unit attention: 1 if answered. */
FAKE_SHARED int fake_answerMedium(sg_io_hdr_t *io, const unsigned char *command);
/* CDROMEJECT, CDROMCLOSETRAY and CDROM_MEDIA_CHANGED (0 without a schedule). */
FAKE_SHARED int fake_mediumIoctl(unsigned long request);
/* Each drive command's log line, with its time. */
FAKE_SHARED void fake_noteCommand(const char *line);
