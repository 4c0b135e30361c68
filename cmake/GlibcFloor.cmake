# The oldest glibc the Linux library loads on: its floor. Every symbol of the C library it
# takes must be of that version or older, whatever glibc it is built on. A build on a recent
# system, as it is, would need the glibc of that system and its libstdc++, since the linker
# takes each symbol's newest version. The floor is held by:
#  - the C++ runtime (libstdc++, libgcc) linked into the library, not taken from the system;
#  - only what the library calls kept of it (--gc-sections): iostreams, std::random_device and
#    thread_local objects with destructors would need up to 2.36 and are not used;
#  - GlibcFloor.c: the remaining few symbols that newer glibc versions gave a new version, met
#    with their oldest version or with what older versions offer.
# tests/jvm/jar_libraries.sh checks every Linux library in the jar against its floor.

# The floor of each platform, "<platform>=<glibc version>": 2.17 is the first glibc on
# aarch64; on x86-64 it is that of the oldest Linux distributions still kept up (2012-13).
set(TOCMATE_GLIBC_FLOORS linux-x86_64=2.17 linux-aarch64=2.17)

# Links TARGET, a shared library, to stay within the floor.
function(tocmate_glibc_floor target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/GlibcFloor.c)
  target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc LINKER:--gc-sections)
endfunction()
