/*
 * The fake drive's medium over time, and its tray: a schedule says which disc is in the
 * drive when, and the drive answers as a real one does as the medium changes: TEST UNIT
 * READY, a unit attention once for each new medium, GET EVENT STATUS NOTIFICATION's media
 * events (each read once), START STOP UNIT's eject and load, the kernel's CDROMEJECT and
 * CDROMCLOSETRAY.
 *
 * Environment:
 *   FAKE_CDROM_MEDIUM   a schedule, one change a line: "SECONDS STATE [TABLE]", the seconds
 *                       counted from the file's modification time, STATE as
 *                       FAKE_CDROM_STATE takes it, TABLE as FAKE_CDROM_TOC (else that one);
 *                       '#' starts a comment. Before the first line the drive is empty. A
 *                       disc after "becoming-ready" is the same medium, now ready.
 *   FAKE_CDROM_EVENTS   answer (the default), or unsupported: GET EVENT STATUS
 *                       NOTIFICATION answers ILLEGAL REQUEST, as old drives do
 *   FAKE_CDROM_TRAY     tray (the default), slot: the drive can not close (load answers
 *                       ILLEGAL REQUEST, CDROMCLOSETRAY ENOSYS), or locked: a program
 *                       prevents removal (eject answers 5/53/02, CDROMEJECT EBUSY)
 *   FAKE_CDROM_TIMED_LOG a file to which each drive command appends its log line after the
 *                       time it came, in seconds since the epoch: "1700000000.123456 command 00"
 *   FAKE_CDROM_KERNEL_POLLING  off (the default), or on: the kernel's own polling takes each
 *                       change's unit attention and media event before any program sees them;
 *                       only CDROM_MEDIA_CHANGED, whose flag the kernel keeps for its callers
 *                       until one asks, tells of it
 *
 * An eject opens the tray until the schedule's next change, or until the tray is closed:
 * then the disc of the schedule's current line is in again, a new medium.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "fake_drive.h"

enum {
  kTestUnitReady = 0x00,
  kInquiry = 0x12,
  kStartStop = 0x1b,
  kMediaEvents = 0x4a,
  kMaxChanges = 64,
  kNewMediumEvent = 2,
  kMediumRemovedEvent = 3,
};

struct Change {
  double at;
  char state[32];
  char table[1024];
};

/* The schedule, read once, and the drive's state, which every process that uses the drive
 * shares through a file beside the schedule (as a drive is one for all its users). */
static struct {
  int loaded;
  double origin;
  int count;
  struct Change changes[kMaxChanges];
  int current;   /* the line in effect at the last command; -1 before the first */
  int ejected;   /* the tray was opened by command since that line took effect */
  int attention; /* a unit attention is due */
  int event;     /* the media event not yet read */
  int flagged;   /* CDROM_MEDIA_CHANGED's flag: a change since the last ioctl that asked */
} medium = {.current = -1};

static int lockedState = -1;

/* Takes the shared state, locked, into `medium`. */
static void takeState(void) {
  char path[4096];
  snprintf(path, sizeof path, "%s.state", getenv("FAKE_CDROM_MEDIUM"));
  lockedState = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockedState < 0) return;
  flock(lockedState, LOCK_EX);
  char text[64] = "";
  const ssize_t length = pread(lockedState, text, sizeof text - 1, 0);
  text[length > 0 ? length : 0] = '\0';
  if (sscanf(text, "%d %d %d %d %d", &medium.current, &medium.ejected, &medium.attention,
             &medium.event, &medium.flagged) != 5) {
    medium.current = -1, medium.ejected = medium.attention = medium.event = medium.flagged = 0;
  }
}

static void giveState(void) {
  if (lockedState < 0) return;
  char text[64];
  const int length = snprintf(text, sizeof text, "%d %d %d %d %d\n", medium.current, medium.ejected,
                              medium.attention, medium.event, medium.flagged);
  if (ftruncate(lockedState, 0) != 0 || pwrite(lockedState, text, (size_t)length, 0) != length) {
    perror("fake medium state");
  }
  close(lockedState);
  lockedState = -1;
}

static double now(void) {
  struct timespec time;
  clock_gettime(CLOCK_REALTIME, &time);
  return (double)time.tv_sec + (double)time.tv_nsec / 1e9;
}

static void loadSchedule(const char *path) {
  medium.loaded = 1;
  struct stat status;
  FILE *file = fopen(path, "re");
  if (file == NULL || fstat(fileno(file), &status) != 0) {
    if (file != NULL) fclose(file);
    return;
  }
  medium.origin = (double)status.st_mtim.tv_sec + (double)status.st_mtim.tv_nsec / 1e9;
  char line[1200];
  while (medium.count < kMaxChanges && fgets(line, sizeof line, file) != NULL) {
    char *comment = strchr(line, '#');
    if (comment != NULL) *comment = '\0';
    struct Change *change = &medium.changes[medium.count];
    int used = 0;
    if (sscanf(line, "%lf %31s %n", &change->at, change->state, &used) < 2) continue;
    snprintf(change->table, sizeof change->table, "%s", line + used);
    change->table[strcspn(change->table, "\n")] = '\0';
    ++medium.count;
  }
  fclose(file);
}

static int holdsMedium(const char *state) {
  return strcmp(state, "no-disc") != 0 && strcmp(state, "tray-open") != 0;
}

static const char *stateOf(int line) { return line < 0 ? "no-disc" : medium.changes[line].state; }

static const char *currentState(void) {
  return medium.ejected ? "tray-open" : stateOf(medium.current);
}

/* A change as the kernel takes it: flagged for CDROM_MEDIA_CHANGED, and, when its polling is
 * on, the unit attention and the event already taken. */
static void changed(void) {
  medium.flagged = 1;
  if (fake_is("FAKE_CDROM_KERNEL_POLLING", "off", "on")) medium.attention = medium.event = 0;
}

static void newMedium(void) {
  medium.attention = 1;
  medium.event = kNewMediumEvent;
  changed();
}

/* Takes the schedule's line now in effect, with the events of the change to it. */
static void advance(void) {
  int line = medium.current;
  while (line + 1 < medium.count && medium.changes[line + 1].at <= now() - medium.origin) ++line;
  if (line == medium.current) return;
  const char *before = currentState(), *after = stateOf(line);
  const int spunUp = strcmp(before, "becoming-ready") == 0 && strcmp(after, "becoming-ready") != 0;
  if (holdsMedium(after) && !spunUp) {
    newMedium();
  } else if (!holdsMedium(after) && holdsMedium(before)) {
    medium.attention = 0;
    medium.event = kMediumRemovedEvent;
    changed();
  }
  medium.current = line;
  medium.ejected = 0;
}

/* Whether a schedule rules the medium; if so, its state taken and brought up to date, to be
 * given back. */
static int scheduled(void) {
  const char *path = getenv("FAKE_CDROM_MEDIUM");
  if (path == NULL || *path == '\0') return 0;
  if (!medium.loaded) loadSchedule(path);
  takeState();
  advance();
  return 1;
}

const char *fake_mediumSetting(const char *name) {
  const int state = strcmp(name, "FAKE_CDROM_STATE") == 0;
  if (!state && strcmp(name, "FAKE_CDROM_TOC") != 0) return NULL;
  /* Asked while answering a command, the state is already taken. */
  const int taken = lockedState >= 0;
  if (!taken && !scheduled()) return NULL;
  const char *value = state ? currentState()
                      : medium.current >= 0 && medium.changes[medium.current].table[0] != '\0'
                          ? medium.changes[medium.current].table
                          : NULL;
  if (!taken) giveState();
  return value;
}

void fake_noteCommand(const char *line) {
  const char *path = getenv("FAKE_CDROM_TIMED_LOG");
  if (path == NULL) return;
  FILE *log = fopen(path, "ae");
  if (log == NULL) return;
  fprintf(log, "%.6f %s", now(), line);
  fclose(log);
}

/* 0 when the tray moved, else the reason as the drive's sense: key << 16 | ASC << 8 | ASCQ. */
static int moveTray(int eject) {
  if (eject) {
    if (fake_is("FAKE_CDROM_TRAY", "tray", "locked")) return 0x055302;
    const int held = holdsMedium(currentState());
    if (held) medium.event = kMediumRemovedEvent;
    medium.attention = 0;
    medium.ejected = 1;
    if (held) changed();
    return 0;
  }
  if (fake_is("FAKE_CDROM_TRAY", "tray", "slot")) return 0x052400;
  if (medium.ejected) {
    medium.ejected = 0;
    if (holdsMedium(currentState())) newMedium();
  }
  return 0;
}

static int answerMediaEvents(sg_io_hdr_t *io, const unsigned char *command) {
  if (fake_is("FAKE_CDROM_EVENTS", "answer", "unsupported")) {
    return fake_checkCondition(io, 5, 0x20, 0);
  }
  if ((command[1] & 0x01) == 0) return fake_checkCondition(io, 5, 0x24, 0);
  const size_t allocation = (size_t)(command[7] << 8 | command[8]);
  if ((command[4] & 0x10) == 0) {
    const unsigned char none[4] = {0, 2, 0x80, 0x10};
    return fake_deliver(io, none, sizeof none, allocation);
  }
  const char *state = fake_setting("FAKE_CDROM_STATE", "disc");
  const unsigned char reply[8] = {
      0,
      6,
      0x04,
      0x10,
      (unsigned char)medium.event,
      (unsigned char)((holdsMedium(state) ? 0x02 : 0) | (strcmp(state, "tray-open") == 0))};
  medium.event = 0;
  return fake_deliver(io, reply, sizeof reply, allocation);
}

static int answerTestUnitReady(sg_io_hdr_t *io) {
  const char *state = fake_setting("FAKE_CDROM_STATE", "disc");
  if (strcmp(state, "no-disc") == 0) return fake_checkCondition(io, 2, 0x3a, 1);
  if (strcmp(state, "tray-open") == 0) return fake_checkCondition(io, 2, 0x3a, 2);
  if (strcmp(state, "becoming-ready") == 0) return fake_checkCondition(io, 2, 0x04, 1);
  return 0;
}

static int answerMedium(sg_io_hdr_t *io, const unsigned char *command) {
  if (command[0] == kMediaEvents) return answerMediaEvents(io, command), 1;
  if (command[0] == kInquiry) return 0;
  if (medium.attention) {
    medium.attention = 0;
    return fake_checkCondition(io, 6, 0x28, 0), 1;
  }
  if (command[0] == kTestUnitReady) return answerTestUnitReady(io), 1;
  if (command[0] != kStartStop) return 0;
  if ((command[4] & 0x02) == 0) return 1; /* no LoEj: nothing for the tray to do */
  const int refusal = moveTray((command[4] & 0x01) == 0);
  if (refusal != 0) fake_checkCondition(io, refusal >> 16, refusal >> 8 & 0xff, refusal & 0xff);
  return 1;
}

int fake_answerMedium(sg_io_hdr_t *io, const unsigned char *command) {
  const int shared = scheduled();
  const int answered = answerMedium(io, command);
  if (shared) giveState();
  return answered;
}

int fake_mediumIoctl(unsigned long request) {
  const int shared = scheduled();
  if (request == CDROM_MEDIA_CHANGED) {
    const int flagged = medium.flagged;
    medium.flagged = 0;
    if (shared) giveState();
    return flagged;
  }
  const int refusal = moveTray(request == CDROMEJECT);
  if (shared) giveState();
  if (refusal == 0) return 0;
  errno = refusal == 0x055302 ? EBUSY : ENOSYS;
  return -1;
}
