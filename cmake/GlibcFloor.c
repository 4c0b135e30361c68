/* Linked into the Linux library only (see GlibcFloor.cmake): the few C library symbols
 * that the library and its statically linked C++ runtime take from a newer glibc than the
 * library's floor, met here with what older glibc versions offer. Each definition is
 * hidden: it serves the library's own references and is exported to no one. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <pthread.h>
#include <stdint.h>
#include <sys/stat.h>
#include <time.h>

/* The first symbol version of the architecture, and the status layout that the old headers
 * asked __xstat for (_STAT_VER). */
#if defined(__x86_64__)
#define OLDEST_GLIBC "GLIBC_2.2.5"
#define STAT_VERSION 1
#elif defined(__aarch64__)
#define OLDEST_GLIBC "GLIBC_2.17"
#define STAT_VERSION 0
#else
#error "no glibc floor is set for this architecture"
#endif

#define HIDDEN __attribute__((visibility("hidden")))

/* pthread_once and __pthread_key_create (which libgcc's unwinder uses to tell whether the
 * process has threads) moved from libpthread into libc in 2.34 under a new version; the old
 * version still names them in both. A JVM always has libpthread loaded. */
int oldest_pthread_once(pthread_once_t* once, void (*init)(void));
int oldest_pthread_key_create(pthread_key_t* key, void (*destructor)(void*));
__asm__(".symver oldest_pthread_once, pthread_once@" OLDEST_GLIBC);
__asm__(".symver oldest_pthread_key_create, __pthread_key_create@" OLDEST_GLIBC);

HIDDEN int pthread_once(pthread_once_t* once, void (*init)(void)) {
  return oldest_pthread_once(once, init);
}

HIDDEN int __pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
  return oldest_pthread_key_create(key, destructor);
}

/* From 2.32 glibc tells libstdc++ when the process has a single thread, so that reference
 * counts and guards may skip atomic operations. "Never" is always true enough: a JVM has
 * many threads. */
HIDDEN char __libc_single_threaded = 0;

/* stat, fstat and lstat became functions of libc in 2.33; before, the headers made them calls
 * of __xstat, __fxstat and __lxstat, which glibc still has under their old version. The calls go through
 * libc, as any program's built on an older glibc do, where a preloaded library can answer. */
int oldest_xstat(int version, const char* path, struct stat* info);
int oldest_fxstat(int version, int descriptor, struct stat* info);
int oldest_lxstat(int version, const char* path, struct stat* info);
__asm__(".symver oldest_xstat, __xstat@" OLDEST_GLIBC);
__asm__(".symver oldest_fxstat, __fxstat@" OLDEST_GLIBC);
__asm__(".symver oldest_lxstat, __lxstat@" OLDEST_GLIBC);

HIDDEN int stat(const char* restrict path, struct stat* restrict info) {
  return oldest_xstat(STAT_VERSION, path, info);
}

HIDDEN int fstat(int descriptor, struct stat* info) {
  return oldest_fxstat(STAT_VERSION, descriptor, info);
}

HIDDEN int lstat(const char* restrict path, struct stat* restrict info) {
  return oldest_lxstat(STAT_VERSION, path, info);
}

/* From 2.30 (2.34 for the version) libstdc++ waits on a condition against the steady clock
 * with pthread_cond_clockwait. Before, it waited against the system clock, its deadline moved
 * over, as here: a change of the system's time during a wait stretches or shortens it. */
HIDDEN int pthread_cond_clockwait(pthread_cond_t* restrict condition,
                                  pthread_mutex_t* restrict mutex, clockid_t clock,
                                  const struct timespec* restrict deadline) {
  struct timespec now, systemNow;
  if (clock == CLOCK_REALTIME) return pthread_cond_timedwait(condition, mutex, deadline);
  if (clock_gettime(clock, &now) != 0 || clock_gettime(CLOCK_REALTIME, &systemNow) != 0) {
    return EINVAL;
  }
  const long long kNanosecondsPerSecond = 1000000000;
  long long left = (long long)(deadline->tv_sec - now.tv_sec) * kNanosecondsPerSecond +
                   (deadline->tv_nsec - now.tv_nsec);
  if (left < 0) left = 0;
  const long long systemDeadline =
      (long long)systemNow.tv_sec * kNanosecondsPerSecond + systemNow.tv_nsec + left;
  const struct timespec moved = {(time_t)(systemDeadline / kNanosecondsPerSecond),
                                 (long)(systemDeadline % kNanosecondsPerSecond)};
  return pthread_cond_timedwait(condition, mutex, &moved);
}

/* exp and log (libFLAC's, in its choice of predictors) got new versions in 2.29, which only
 * stopped calling the SVID error handler; the old ones give the same values. */
double oldest_exp(double x);
double oldest_log(double x);
__asm__(".symver oldest_exp, exp@" OLDEST_GLIBC);
__asm__(".symver oldest_log, log@" OLDEST_GLIBC);

HIDDEN double exp(double x) { return oldest_exp(x); }

HIDDEN double log(double x) { return oldest_log(x); }

#ifdef DLFO_STRUCT_HAS_EH_DBASE
/* From 2.35 the unwinder that throws C++ exceptions asks glibc which loaded object holds an
 * address, for the object's exception frame table (all it reads of the answer on these
 * architectures). Walking the loaded objects, as it did before, finds the same. */
struct ObjectSearch {
  uintptr_t address;
  struct dl_find_object* found;
};

static int searchObject(struct dl_phdr_info* object, size_t size, void* data) {
  (void)size;
  struct ObjectSearch* search = data;
  uintptr_t start = UINTPTR_MAX, end = 0;
  int holdsAddress = 0;
  void* frameTable = NULL;
  for (ElfW(Half) i = 0; i < object->dlpi_phnum; ++i) {
    const ElfW(Phdr)* segment = &object->dlpi_phdr[i];
    const uintptr_t from = object->dlpi_addr + segment->p_vaddr;
    if (segment->p_type == PT_LOAD) {
      const uintptr_t to = from + segment->p_memsz;
      if (from <= search->address && search->address < to) holdsAddress = 1;
      if (from < start) start = from;
      if (to > end) end = to;
    } else if (segment->p_type == PT_GNU_EH_FRAME) {
      frameTable = (void*)from;
    }
  }
  if (!holdsAddress) return 0;
  search->found->dlfo_flags = 0;
  search->found->dlfo_map_start = (void*)start;
  search->found->dlfo_map_end = (void*)end;
  search->found->dlfo_link_map = NULL;
  search->found->dlfo_eh_frame = frameTable;
  return 1;
}

HIDDEN int _dl_find_object(void* address, struct dl_find_object* result) {
  struct ObjectSearch search = {(uintptr_t)address, result};
  return dl_iterate_phdr(searchObject, &search) ? 0 : -1;
}
#endif
