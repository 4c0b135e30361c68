/*
 * A CD drive for machines without one: preloaded (LD_PRELOAD), it answers the kernel's
 * CD-ROM ioctls for one ordinary file, recognised by its device and inode numbers, from a
 * table of contents it is given. Every other ioctl goes to the real one.
 *
 * Environment:
 *   FAKE_CDROM_DEVICE   the file that plays the drive
 *   FAKE_CDROM_TOC      "first last lead-out start..." in absolute frames (lead-in included)
 *   FAKE_CDROM_STATE    disc (the default), no-disc, tray-open or read-error (the header
 *                       reads, every track entry fails with EIO)
 *   FAKE_CDROM_ADDRESS  requested (the default: each entry in the form asked for), or msf
 *                       or lba: always that form, as some drivers answer
 *   FAKE_CDROM_DATA     track numbers flagged as data tracks, e.g. "1 12"
 *   FAKE_CDROM_LOG      a file to which each table-of-contents read appends a line:
 *                       "header" or "entry N" (N = 170 for the lead-out)
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kLeadInFrames = 150, kMaxTracks = 99 };

static int isFakeDrive(int fd) {
  const char *path = getenv("FAKE_CDROM_DEVICE");
  struct stat device, file;
  return path != NULL && stat(path, &device) == 0 && fstat(fd, &file) == 0 &&
         device.st_dev == file.st_dev && device.st_ino == file.st_ino;
}

static int stateIs(const char *state) {
  const char *actual = getenv("FAKE_CDROM_STATE");
  return strcmp(actual != NULL && *actual != '\0' ? actual : "disc", state) == 0;
}

static void logRead(const char *what, int track) {
  const char *path = getenv("FAKE_CDROM_LOG");
  if (path == NULL) return;
  int log = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (log < 0) return;
  char line[32];
  int length = track < 0 ? snprintf(line, sizeof line, "%s\n", what)
                         : snprintf(line, sizeof line, "%s %d\n", what, track);
  if (write(log, line, (size_t)length) < 0) perror("fake cdrom log");
  close(log);
}

/* The table: values[0] first, [1] last, [2] lead-out, [3...] starts. Returns the count. */
static int readTable(long values[kMaxTracks + 3]) {
  const char *text = getenv("FAKE_CDROM_TOC");
  int count = 0;
  char *end;
  while (text != NULL && count < kMaxTracks + 3) {
    long value = strtol(text, &end, 10);
    if (end == text) break;
    values[count++] = value;
    text = end;
  }
  return count;
}

static int isDataTrack(int track) {
  const char *text = getenv("FAKE_CDROM_DATA");
  char *end;
  while (text != NULL) {
    long value = strtol(text, &end, 10);
    if (end == text) return 0;
    if (value == track) return 1;
    text = end;
  }
  return 0;
}

static int fail(int error) {
  errno = error;
  return -1;
}

static int answerEntry(struct cdrom_tocentry *entry) {
  long table[kMaxTracks + 3];
  const int count = readTable(table);
  const int track = entry->cdte_track;
  logRead("entry", track);
  if (!stateIs("disc")) return fail(stateIs("read-error") ? EIO : ENOMEDIUM);
  long frame;
  if (track == CDROM_LEADOUT) {
    frame = table[2];
  } else if (count > 3 && track >= table[0] && track <= table[1] && 3 + track - table[0] < count) {
    frame = table[3 + track - table[0]];
  } else {
    return fail(EINVAL);
  }
  const char *forced = getenv("FAKE_CDROM_ADDRESS");
  if (forced != NULL && strcmp(forced, "msf") == 0) entry->cdte_format = CDROM_MSF;
  if (forced != NULL && strcmp(forced, "lba") == 0) entry->cdte_format = CDROM_LBA;
  if (entry->cdte_format == CDROM_MSF) {
    entry->cdte_addr.msf.minute = (__u8)(frame / 4500);
    entry->cdte_addr.msf.second = (__u8)(frame / 75 % 60);
    entry->cdte_addr.msf.frame = (__u8)(frame % 75);
  } else {
    entry->cdte_format = CDROM_LBA;
    entry->cdte_addr.lba = (int)(frame - kLeadInFrames);
  }
  entry->cdte_adr = 1;
  entry->cdte_ctrl = isDataTrack(track) ? CDROM_DATA_TRACK : 0;
  entry->cdte_datamode = 0;
  return 0;
}

static int answer(unsigned long request, void *argument) {
  long table[kMaxTracks + 3];
  switch (request) {
    case CDROMREADTOCHDR: {
      logRead("header", -1);
      if (!stateIs("disc") && !stateIs("read-error")) return fail(ENOMEDIUM);
      if (readTable(table) < 4) return fail(EIO);
      struct cdrom_tochdr *header = argument;
      header->cdth_trk0 = (__u8)table[0];
      header->cdth_trk1 = (__u8)table[1];
      return 0;
    }
    case CDROMREADTOCENTRY:
      return answerEntry(argument);
    case CDROM_DRIVE_STATUS:
      return stateIs("no-disc") ? CDS_NO_DISC : stateIs("tray-open") ? CDS_TRAY_OPEN : CDS_DISC_OK;
    case CDROM_DISC_STATUS: {
      if (!stateIs("disc")) return CDS_NO_DISC;
      const int count = readTable(table);
      int data = 0;
      for (long track = table[0]; count > 3 && track <= table[1]; ++track)
        data += isDataTrack(track);
      return data == 0                                 ? CDS_AUDIO
             : count > 3 && data > table[1] - table[0] ? CDS_DATA_1
                                                       : CDS_MIXED;
    }
    default:
      return fail(ENOTTY);
  }
}

int ioctl(int fd, unsigned long request, ...) {
  va_list arguments;
  va_start(arguments, request);
  void *argument = va_arg(arguments, void *);
  va_end(arguments);
  if (isFakeDrive(fd)) return answer(request, argument);
  static int (*realIoctl)(int, unsigned long, ...);
  if (realIoctl == NULL) realIoctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
  return realIoctl(fd, request, argument);
}
