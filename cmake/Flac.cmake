# libFLAC, the reference codec, linked statically into the library on every platform: built
# here from the sources of Debian's flac package with this build's compiler and flags (the
# sanitizers' and the fuzzers' too), as the tests build GoogleTest where no fitting package
# is there. Only its C library: no Ogg, no C++ binding, no programs. scripts/flac-source.sh
# fetches the sources once, unless TOCMATE_FLAC_SOURCE names them.
set(TOCMATE_FLAC_SOURCE "" CACHE PATH "Debian's flac sources, unpacked (fetched when empty)")
if(NOT TOCMATE_FLAC_SOURCE)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/flac-source.sh
    OUTPUT_VARIABLE fetched OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "Debian's flac sources could not be fetched (scripts/flac-source.sh)")
  endif()
  set(TOCMATE_FLAC_SOURCE ${fetched} CACHE PATH "Debian's flac sources, unpacked" FORCE)
endif()

# (A function, so that the settings below stay libFLAC's: its options take them as they are.)
function(tocmate_add_flac)
  set(CMAKE_POLICY_DEFAULT_CMP0077 NEW)
  foreach(setting BUILD_CXXLIBS BUILD_PROGRAMS BUILD_EXAMPLES BUILD_TESTING BUILD_DOCS WITH_OGG
                  BUILD_SHARED_LIBS INSTALL_MANPAGES INSTALL_PKGCONFIG_MODULES
                  INSTALL_CMAKE_CONFIG_MODULE WITH_FORTIFY_SOURCE WITH_STACK_PROTECTOR)
    set(${setting} OFF)
  endforeach()
  # Nothing of it is installed: it is inside the library.
  set(CMAKE_SKIP_INSTALL_RULES ON)
  add_subdirectory(${TOCMATE_FLAC_SOURCE} ${CMAKE_BINARY_DIR}/flac EXCLUDE_FROM_ALL)
endfunction()
tocmate_add_flac()

# Each function in a section of its own, so that the library keeps only what it calls
# (--gc-sections): libFLAC's file functions would take stat and fopen from a newer glibc
# than the library's floor (cmake/GlibcFloor.cmake).
if(NOT WIN32)
  target_compile_options(FLAC PRIVATE -ffunction-sections -fdata-sections)
endif()

# libFLAC 1.4.2's own arithmetic: its encoder adds offsets to a null pointer it then never
# reads through (the escape codes' partitions, when none are searched), and its decoder
# predicts a corrupt stream's samples in int arithmetic that may overflow (its memory stays
# in bounds; the samples come out wrong, as a damaged file's are). Those two checks of the
# undefined behaviour sanitizer are left out for its code, and for its code alone.
if(TOCMATE_SANITIZE MATCHES undefined)
  target_compile_options(FLAC PRIVATE -fno-sanitize=pointer-overflow,signed-integer-overflow)
endif()

# What the library, its tests and the fuzzers link.
add_library(tocmate_flac INTERFACE)
target_link_libraries(tocmate_flac INTERFACE FLAC)
