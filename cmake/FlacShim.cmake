# TEMPORARY until libFLAC is built from Debian's sources: tocmate_flac from the system's
# libflac-dev, static. Remove this file and its include at that merge.
add_library(tocmate_flac INTERFACE)
target_link_libraries(tocmate_flac INTERFACE /usr/lib/x86_64-linux-gnu/libFLAC.a
                      /usr/lib/x86_64-linux-gnu/libogg.a)
target_compile_definitions(tocmate_flac INTERFACE FLAC__NO_DLL)
