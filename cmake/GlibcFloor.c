/* Linked into the Linux library only (see GlibcFloor.cmake): the few C library symbols that
 * the statically linked C++ runtime takes from a newer glibc than the library's floor, met
 * here with what older glibc versions offer. Each definition is hidden: it serves the
 * library's own references and is exported to no one. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <stdint.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__x86_64__)
#define OLDEST_GLIBC "GLIBC_2.2.5"
#elif defined(__aarch64__)
#define OLDEST_GLIBC "GLIBC_2.17"
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

/* stat and fstat became functions of libc in 2.33; before, the headers turned them into
 * calls of __xstat. The system calls, whose result glibc passes on unchanged on these
 * architectures, serve on every version. */
HIDDEN int stat(const char* restrict path, struct stat* restrict info) {
  return (int)syscall(SYS_newfstatat, AT_FDCWD, path, info, 0);
}

HIDDEN int fstat(int descriptor, struct stat* info) {
  return (int)syscall(SYS_fstat, descriptor, info);
}

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
