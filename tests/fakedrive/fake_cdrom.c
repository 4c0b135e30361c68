/*
 * A CD drive for machines without one: preloaded (LD_PRELOAD), it makes one ordinary file
 * play a drive's block device, recognised by its device and inode numbers. Its status says
 * it is a block device; it answers the kernel's CD-ROM ioctls and, through SG_IO, the MMC
 * command READ TOC like a drive, from a table of contents it is given. Every other call
 * goes to the real function.
 *
 * Environment:
 *   FAKE_CDROM_DEVICE   the file that plays the drive
 *   FAKE_CDROM_TOC      "first last lead-out start..." in absolute frames (lead-in included);
 *                       a start followed by "d" is a data track's
 *   FAKE_CDROM_DATA     more track numbers flagged as data tracks, e.g. "1 12"
 *   FAKE_CDROM_STATE    disc (the default), no-disc, tray-open, becoming-ready or read-error
 *                       (READ TOC answers MEDIUM ERROR; the header ioctl reads, every track
 *                       entry fails with EIO); recovered: READ TOC answers its table with
 *                       CHECK CONDITION, RECOVERED ERROR; good-with-sense: GOOD status with a
 *                       NO SENSE block
 *   FAKE_CDROM_ADDRESS  requested (the default: each ioctl entry in the form asked for), or
 *                       msf or lba: always that form, as some drivers answer; or
 *                       msf-unwrapped: MSF with minute 0 and seconds past 59, as no drive
 *                       may answer
 *   FAKE_CDROM_SG_IO    answer (the default), or refuse: SG_IO fails with ENOTTY, as in
 *                       containers and old kernels; or writable: SG_IO fails with EACCES on
 *                       a descriptor opened read-only, as Windows refuses pass-through
 *   FAKE_CDROM_EINTR    a file holding how many SG_IO calls are still to fail with EINTR
 *   FAKE_CDROM_TRANSFER the most bytes of any reply that the drive transfers
 *   FAKE_CDROM_RESIDUE  report (the default), or none: the drive reports no residue even
 *                       where it transferred less than asked
 *   FAKE_CDROM_DISC     the table-of-contents file whose catalog, isrc and cdtext lines the
 *                       drive answers from (see fake_extras.c for its settings)
 *   FAKE_CDROM_READ_OFFSET and others: the disc's audio (see fake_audio.c)
 *   FAKE_CDROM_LAYOUT and others: pregaps, index points and pre-emphasis in the Q data and
 *                       the table, and Q frames gone wrong (see fake_subq.c)
 *   FAKE_CDROM_UNIT_ATTENTION
 *                       a file holding how many SCSI commands are still to answer UNIT
 *                       ATTENTION (the disc was changed); each such answer counts it down.
 *                       (The kernel's own ioctls retry a unit attention themselves.)
 *   FAKE_CDROM_LATENCY_US  the microseconds that each drive command takes
 *   FAKE_CDROM_SLOW_OPCODE only the SCSI command of this opcode (hexadecimal) takes them
 *   FAKE_CDROM_NODE     block (the default), or file: the file stays a regular file, and
 *                       only its opens are logged
 *   FAKE_CDROM_LOG      a file to which each drive command appends a line: "command 43"
 *                       (SCSI, the opcode in hexadecimal), "header", "entry N" (N = 170 for
 *                       the lead-out), "drive status", "disc status", "mcn", "subchannel"
 *                       or "read audio"
 *   FAKE_CDROM_OPEN_LOG a file to which each open of the device file appends "open"
 *   FAKE_CDROM_MEDIUM, FAKE_CDROM_EVENTS, FAKE_CDROM_TRAY, FAKE_CDROM_TIMED_LOG
 *                       a medium that changes over time, and the tray (see fake_medium.c)
 *   FAKE_CDROM_OPEN_ERROR
 *                       an error number with which every open of the device file fails
 *                       (1: EPERM, as a sandbox refuses even root)
 *
 * A device file without write permission refuses to be opened for writing, even by root:
 * a drive its user may read but not command, as Windows refuses pass-through without
 * write access. (Wine's server opens the device: its environment is not the test's.)
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <scsi/sg.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "fake_drive.h"

enum { kReadToc = 0x43, kInquiry = 0x12, kReadCd = 0xbe, kUserData = 0x10 };

/* The real function behind one of ours, looked up once. */
#define REAL(name)                      \
  static __typeof__(name) *real_##name; \
  if (real_##name == NULL) real_##name = (__typeof__(name) *)dlsym(RTLD_NEXT, #name)

static const char *setting(const char *name, const char *fallback) {
  const char *value = fake_mediumSetting(name);
  if (value == NULL) value = getenv(name);
  return value != NULL && *value != '\0' ? value : fallback;
}

static int is(const char *name, const char *fallback, const char *value) {
  return strcmp(setting(name, fallback), value) == 0;
}

/* Whether a file status is that of the device file (fstatat: none of ours). */
static int isDevice(const struct stat *file) {
  const char *path = getenv("FAKE_CDROM_DEVICE");
  struct stat device;
  return path != NULL && fstatat(AT_FDCWD, path, &device, 0) == 0 &&
         device.st_dev == file->st_dev && device.st_ino == file->st_ino;
}

static int isDeviceFd(int fd) {
  struct stat file;
  return fd >= 0 && fstatat(fd, "", &file, AT_EMPTY_PATH) == 0 && isDevice(&file);
}

static int playsDrive(int fd) { return !is("FAKE_CDROM_NODE", "block", "file") && isDeviceFd(fd); }

void fake_appendLine(const char *setting, const char *line) {
  const char *path = getenv(setting);
  if (path == NULL) return;
  REAL(open);
  int log = real_open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (log < 0) return;
  if (write(log, line, strlen(line)) < 0) perror("fake cdrom log");
  close(log);
}

/* Every command a real drive would get: logged, and as slow as asked. */
static void driveCommand(const char *format, int number) {
  char line[32];
  snprintf(line, sizeof line, format, number);
  fake_appendLine("FAKE_CDROM_LOG", line);
  fake_noteCommand(line);
  long latency = atol(setting("FAKE_CDROM_LATENCY_US", "0"));
  const char *slow = getenv("FAKE_CDROM_SLOW_OPCODE");
  if (slow != NULL && (strncmp(format, "command", 7) != 0 || strtol(slow, NULL, 16) != number)) {
    latency = 0;
  }
  if (latency > 0) {
    struct timespec wait = {latency / 1000000, latency % 1000000 * 1000};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) continue;
  }
}

/* The table: values[0] first, [1] last, [2] lead-out, [3...] starts; data[i] marks a data
 * track's start. Returns the count of values. */
static int readTable(long values[kMaxTracks + 3], int data[kMaxTracks + 3]) {
  const char *text = setting("FAKE_CDROM_TOC", NULL);
  int count = 0;
  char *end;
  while (text != NULL && count < kMaxTracks + 3) {
    long value = strtol(text, &end, 10);
    if (end == text) break;
    data[count] = *end == 'd';
    values[count++] = value;
    text = end + (*end == 'd');
  }
  for (text = getenv("FAKE_CDROM_DATA"); text != NULL && count > 3; text = end) {
    long track = strtol(text, &end, 10);
    if (end == text) break;
    if (track >= values[0] && 3 + track - values[0] < count) data[3 + track - values[0]] = 1;
  }
  return count;
}

const char *fake_setting(const char *name, const char *fallback) { return setting(name, fallback); }

int fake_is(const char *name, const char *fallback, const char *value) {
  return is(name, fallback, value);
}

int fake_readTable(long values[kMaxTracks + 3], int data[kMaxTracks + 3]) {
  return readTable(values, data);
}

static int fail(int error) {
  errno = error;
  return -1;
}

/* The CD-ROM ioctls. */

static int answerEntry(struct cdrom_tocentry *entry) {
  long table[kMaxTracks + 3];
  int data[kMaxTracks + 3];
  const int count = readTable(table, data);
  const int track = entry->cdte_track;
  driveCommand("entry %d\n", track);
  if (!is("FAKE_CDROM_STATE", "disc", "disc")) {
    return fail(is("FAKE_CDROM_STATE", "disc", "read-error") ? EIO : ENOMEDIUM);
  }
  int index;
  if (track == CDROM_LEADOUT) {
    index = 2;
  } else if (count > 3 && track >= table[0] && track <= table[1] && 3 + track - table[0] < count) {
    index = 3 + track - (int)table[0];
  } else {
    return fail(EINVAL);
  }
  const long frame = table[index];
  const char *form = setting("FAKE_CDROM_ADDRESS", "requested");
  const int unwrapped = strcmp(form, "msf-unwrapped") == 0;
  if (strcmp(form, "msf") == 0 || unwrapped) entry->cdte_format = CDROM_MSF;
  if (strcmp(form, "lba") == 0) entry->cdte_format = CDROM_LBA;
  if (entry->cdte_format == CDROM_MSF) {
    entry->cdte_addr.msf.minute = (__u8)(unwrapped ? 0 : frame / 4500);
    entry->cdte_addr.msf.second = (__u8)(unwrapped ? frame / 75 : frame / 75 % 60);
    entry->cdte_addr.msf.frame = (__u8)(frame % 75);
  } else {
    entry->cdte_format = CDROM_LBA;
    entry->cdte_addr.lba = (int)(frame - kLeadInFrames);
  }
  entry->cdte_adr = 1;
  entry->cdte_ctrl = index > 2 && data[index] ? CDROM_DATA_TRACK : 0;
  if (index > 2 && fake_tocEmphasis(table[0] + index - 3)) entry->cdte_ctrl |= 1;
  entry->cdte_datamode = 0;
  return 0;
}

static int answerHeader(struct cdrom_tochdr *header) {
  long table[kMaxTracks + 3];
  int data[kMaxTracks + 3];
  driveCommand("header\n", 0);
  if (!is("FAKE_CDROM_STATE", "disc", "disc") && !is("FAKE_CDROM_STATE", "disc", "read-error")) {
    return fail(ENOMEDIUM);
  }
  if (readTable(table, data) < 4) return fail(EIO);
  header->cdth_trk0 = (__u8)table[0];
  header->cdth_trk1 = (__u8)table[1];
  return 0;
}

static int driveStatus(void) {
  driveCommand("drive status\n", 0);
  const char *state = setting("FAKE_CDROM_STATE", "disc");
  return strcmp(state, "no-disc") == 0          ? CDS_NO_DISC
         : strcmp(state, "tray-open") == 0      ? CDS_TRAY_OPEN
         : strcmp(state, "becoming-ready") == 0 ? CDS_DRIVE_NOT_READY
                                                : CDS_DISC_OK;
}

static int discStatus(void) {
  long table[kMaxTracks + 3];
  int data[kMaxTracks + 3];
  driveCommand("disc status\n", 0);
  if (!is("FAKE_CDROM_STATE", "disc", "disc")) return CDS_NO_DISC;
  const int count = readTable(table, data);
  int dataTracks = 0;
  for (int i = 3; i < count; ++i) dataTracks += data[i];
  return dataTracks == 0 ? CDS_AUDIO : dataTracks == count - 3 ? CDS_DATA_1 : CDS_MIXED;
}

/* CDROMSUBCHNL: where the drive's head is, playing nothing, at the disc's first track. */
static int answerSubchannel(struct cdrom_subchnl *subchannel) {
  driveCommand("subchannel\n", 0);
  if (!is("FAKE_CDROM_STATE", "disc", "disc")) return fail(ENOMEDIUM);
  const __u8 format = subchannel->cdsc_format;
  memset(subchannel, 0, sizeof *subchannel);
  subchannel->cdsc_format = format;
  subchannel->cdsc_audiostatus = CDROM_AUDIO_NO_STATUS;
  subchannel->cdsc_adr = 1;
  subchannel->cdsc_trk = 1;
  subchannel->cdsc_ind = 1;
  return 0;
}

/* SCSI commands through SG_IO. */

int fake_takeOne(const char *settingName) {
  const char *path = getenv(settingName);
  if (path == NULL) return 0;
  FILE *file = fopen(path, "r+");
  if (file == NULL) return 0;
  int left = 0;
  const int pending = fscanf(file, "%d", &left) == 1 && left > 0;
  if (pending) {
    rewind(file);
    fprintf(file, "%d\n", left - 1);
  }
  fclose(file);
  return pending;
}

/* A CHECK CONDITION with fixed-format sense data, as a drive answers a failed command. */
static int checkCondition(sg_io_hdr_t *io, int key, int asc, int ascq) {
  unsigned char sense[18] = {0x70, 0, (unsigned char)key};
  sense[7] = sizeof sense - 8;
  sense[12] = (unsigned char)asc;
  sense[13] = (unsigned char)ascq;
  io->sb_len_wr = io->mx_sb_len < sizeof sense ? io->mx_sb_len : sizeof sense;
  memcpy(io->sbp, sense, io->sb_len_wr);
  io->status = 0x02;
  io->masked_status = 0x01;
  io->driver_status = 0x08; /* DRIVER_SENSE */
  io->info = SG_INFO_CHECK;
  io->resid = (int)io->dxfer_len;
  return 0;
}

int fake_checkCondition(sg_io_hdr_t *io, int key, int asc, int ascq) {
  return checkCondition(io, key, asc, ascq);
}

int fake_deliver(sg_io_hdr_t *io, const unsigned char *reply, size_t length, size_t allocation) {
  size_t sent = length < allocation ? length : allocation;
  if (sent > io->dxfer_len) sent = io->dxfer_len;
  const char *limit = getenv("FAKE_CDROM_TRANSFER");
  if (limit != NULL && (size_t)atol(limit) < sent) sent = (size_t)atol(limit);
  memcpy(io->dxferp, reply, sent);
  io->resid = fake_is("FAKE_CDROM_RESIDUE", "report", "none") ? 0 : (int)(io->dxfer_len - sent);
  return 0;
}

/* A command that succeeded with sense data beside it, as `state` asks. */
static int withSense(sg_io_hdr_t *io, const char *state) {
  const int recovered = strcmp(state, "recovered") == 0;
  if (!recovered && strcmp(state, "good-with-sense") != 0) return 0;
  const int resid = io->resid;
  checkCondition(io, recovered ? 1 : 0, recovered ? 0x17 : 0, recovered ? 0x01 : 0);
  io->resid = resid;
  if (!recovered) io->status = io->masked_status = 0, io->info = SG_INFO_OK;
  return 0;
}

static void putAddress(unsigned char *field, long frame, int msf) {
  if (msf) {
    field[0] = 0;
    field[1] = (unsigned char)(frame / 4500);
    field[2] = (unsigned char)(frame / 75 % 60);
    field[3] = (unsigned char)(frame % 75);
  } else {
    const unsigned long block = (unsigned long)(frame - kLeadInFrames);
    for (int i = 0; i < 4; ++i) field[i] = (unsigned char)(block >> (24 - 8 * i));
  }
}

/* READ TOC format 0: descriptors from the starting track on (AAh: the lead-out alone),
 * cut to the allocation, the header's length staying that of the whole reply. */
static int readToc(sg_io_hdr_t *io, const unsigned char *command) {
  long table[kMaxTracks + 3];
  int data[kMaxTracks + 3];
  const int count = readTable(table, data);
  if (count < 4) return checkCondition(io, 3, 0x57, 0);
  const int msf = (command[1] & 0x02) != 0, from = command[6];
  if (from > table[1] && from != kLeadOutTrack) return checkCondition(io, 5, 0x24, 0);
  unsigned char reply[4 + 8 * (kMaxTracks + 1)] = {0, 0, (unsigned char)table[0],
                                                   (unsigned char)table[1]};
  size_t length = 4;
  for (int index = 3; index <= count && length < sizeof reply; ++index) {
    const int leadOut = index == count;
    const long track = leadOut ? kLeadOutTrack : table[0] + index - 3;
    if (!leadOut && (track < from || from == kLeadOutTrack)) continue;
    unsigned char *descriptor = reply + length;
    descriptor[1] = (unsigned char)(0x10 | (!leadOut && data[index] ? CDROM_DATA_TRACK : 0) |
                                    (!leadOut && fake_tocEmphasis(track) ? 1 : 0));
    descriptor[2] = (unsigned char)track;
    putAddress(descriptor + 4, leadOut ? table[2] : table[index], msf);
    length += 8;
  }
  reply[0] = (unsigned char)((length - 2) >> 8);
  reply[1] = (unsigned char)(length - 2);
  fake_deliver(io, reply, length, (size_t)(command[7] << 8 | command[8]));
  return withSense(io, setting("FAKE_CDROM_STATE", "disc"));
}

static int answerScsi(int fd, sg_io_hdr_t *io) {
  if (is("FAKE_CDROM_SG_IO", "answer", "refuse")) return fail(ENOTTY);
  if (is("FAKE_CDROM_SG_IO", "answer", "writable") &&
      (fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY) {
    return fail(EACCES);
  }
  if (fake_takeOne("FAKE_CDROM_EINTR")) return fail(EINTR);
  if (io->interface_id != 'S' || io->cmd_len < 1) return fail(EINVAL);
  const unsigned char *command = io->cmdp;
  driveCommand("command %02x\n", command[0]);
  io->status = io->masked_status = io->msg_status = 0;
  io->host_status = io->driver_status = 0;
  io->sb_len_wr = 0;
  io->resid = 0;
  io->duration = 0;
  io->info = SG_INFO_OK;
  if (fake_answerMedium(io, command)) return 0;
  if (command[0] == kInquiry) return fake_answerInquiry(io, command);
  if (io->cmd_len < 10) return checkCondition(io, 5, 0x20, 0);
  if (fake_takeOne("FAKE_CDROM_UNIT_ATTENTION")) return checkCondition(io, 6, 0x28, 0);
  const char *state = setting("FAKE_CDROM_STATE", "disc");
  if (strcmp(state, "no-disc") == 0) return checkCondition(io, 2, 0x3a, 1);
  if (strcmp(state, "tray-open") == 0) return checkCondition(io, 2, 0x3a, 2);
  if (strcmp(state, "becoming-ready") == 0) return checkCondition(io, 2, 0x04, 1);
  if (strcmp(state, "read-error") == 0) return checkCondition(io, 3, 0x11, 0);
  if (command[0] == kReadToc && (command[2] & 0x0f) == 0) return readToc(io, command);
  if (command[0] == kReadCd && (command[9] & kUserData) != 0) return fake_answerAudio(io, command);
  if (fake_answerCache(io, command)) return 0;
  return fake_answerExtra(io, command);
}

static int answer(int fd, unsigned long request, void *argument) {
  switch (request) {
    case SG_IO:
      return answerScsi(fd, argument);
    case CDROMREADTOCHDR:
      return answerHeader(argument);
    case CDROMREADTOCENTRY:
      return answerEntry(argument);
    case CDROM_DRIVE_STATUS:
      return driveStatus();
    case CDROM_DISC_STATUS:
      return discStatus();
    case CDROM_GET_MCN:
      driveCommand("mcn\n", 0);
      return fake_answerMcn(argument);
    case CDROMSUBCHNL:
      return answerSubchannel(argument);
    case CDROMEJECT:
    case CDROMCLOSETRAY:
      driveCommand(request == CDROMEJECT ? "eject\n" : "close tray\n", 0);
      return fake_mediumIoctl(request);
    case CDROM_MEDIA_CHANGED:
      return fake_mediumIoctl(request);
    case CDROMREADAUDIO:
      driveCommand("read audio\n", 0);
      if (!is("FAKE_CDROM_STATE", "disc", "disc")) return fail(ENOMEDIUM);
      return fake_answerReadAudio(argument);
    default:
      return fail(ENOTTY);
  }
}

int ioctl(int fd, unsigned long request, ...) {
  va_list arguments;
  va_start(arguments, request);
  void *argument = va_arg(arguments, void *);
  va_end(arguments);
  if (playsDrive(fd)) return answer(fd, request, argument);
  REAL(ioctl);
  return real_ioctl(fd, request, argument);
}

/* The device file's status: a block device's. */

static int asBlockDevice(int result, struct stat *status) {
  if (result == 0 && !is("FAKE_CDROM_NODE", "block", "file") && isDevice(status)) {
    status->st_mode = (status->st_mode & ~S_IFMT) | S_IFBLK;
  }
  return result;
}

int fstat(int fd, struct stat *status) {
  REAL(fstat);
  return asBlockDevice(real_fstat(fd, status), status);
}

int stat(const char *path, struct stat *status) {
  REAL(stat);
  return asBlockDevice(real_stat(path, status), status);
}

/* A library built for a glibc older than 2.33 (Tocmate's, for its glibc floor) asks for a
 * file's status through these, with the layout that glibc's stat gives. */
int __fxstat(int version, int fd, struct stat *status) {
  (void)version;
  return fstat(fd, status);
}

int __xstat(int version, const char *path, struct stat *status) {
  (void)version;
  return stat(path, status);
}

/* The device file's opens, counted; those for writing refused where it may not be written. */

static int refusesWriting(const char *path, int flags) {
  struct stat file;
  return (flags & O_ACCMODE) != O_RDONLY && fstatat(AT_FDCWD, path, &file, 0) == 0 &&
         isDevice(&file) && (file.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

static int noteOpen(int fd) {
  if (fd >= 0 && getenv("FAKE_CDROM_OPEN_LOG") != NULL && isDeviceFd(fd)) {
    fake_appendLine("FAKE_CDROM_OPEN_LOG", "open\n");
  }
  return fd;
}

int open(const char *path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list arguments;
    va_start(arguments, flags);
    mode = va_arg(arguments, mode_t);
    va_end(arguments);
  }
  if (refusesWriting(path, flags)) return fail(EACCES);
  REAL(open);
  const char *error = getenv("FAKE_CDROM_OPEN_ERROR");
  struct stat file;
  if (error != NULL && stat(path, &file) == 0 && isDevice(&file)) return fail(atoi(error));
  return noteOpen(real_open(path, flags, mode));
}

FILE *fopen(const char *path, const char *mode) {
  REAL(fopen);
  FILE *file = real_fopen(path, mode);
  if (file != NULL) noteOpen(fileno(file));
  return file;
}
