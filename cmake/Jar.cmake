# tocmate.jar: the classes with this platform's library and the libraries cross-built for
# other platforms whose compilers are installed (MinGW-w64 for Windows, the aarch64 GNU
# toolchain for ARM Linux), so that one jar serves them all. The copies in the jar lose
# their debug information, which a jar's user has no use for.

# Under the package's own folder, so that a jar merged with others' keeps them apart.
set(stage ${CMAKE_BINARY_DIR}/jar-stage)
set(natives ${stage}/cd/tocmate/natives)
string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" host_platform)
string(REPLACE "amd64" "x86_64" host_platform "${host_platform}")
set(host_copy ${natives}/${host_platform}/libTocmate.so)
add_custom_command(OUTPUT ${host_copy}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${natives}/${host_platform}
  COMMAND ${CMAKE_STRIP} --strip-debug -o ${host_copy} $<TARGET_FILE:Tocmate>
  DEPENDS Tocmate)
set(copies ${host_copy})

# Adds to the jar the LIBRARY of a platform, cross-built in a build of its own under
# build/<platform>/ with the TOOLCHAIN file and stripped with that platform's STRIP; OPTION
# turns it on or off, on by default where the COMPILER and STRIP are installed. A cross
# build bundles nothing: its jar is its own platform's.
include(ExternalProject)
function(bundle_cross_built platform)
  cmake_parse_arguments(PARSE_ARGV 1 cross "" "OPTION;TOOLCHAIN;COMPILER;STRIP;LIBRARY" "")
  find_program(${platform}_compiler ${cross_COMPILER})
  find_program(${platform}_strip ${cross_STRIP})
  set(installed OFF)
  if(${platform}_compiler AND ${platform}_strip AND NOT CMAKE_CROSSCOMPILING)
    set(installed ON)
  endif()
  option(${cross_OPTION} "Put a cross-built ${platform} library into tocmate.jar" ${installed})
  if(NOT ${cross_OPTION})
    return()
  endif()
  set(library ${CMAKE_BINARY_DIR}/${platform}/${cross_LIBRARY})
  ExternalProject_Add(${platform}_library
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/${platform}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${cross_TOOLCHAIN}
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DBUILD_TESTING=OFF
    # Its own make, not one of ours: it gets no share of our make's jobs.
    BUILD_COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS
                  ${CMAKE_COMMAND} --build <BINARY_DIR> --target Tocmate
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${library}
    INSTALL_COMMAND "")
  set(copy ${natives}/${platform}/${cross_LIBRARY})
  add_custom_command(OUTPUT ${copy}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${natives}/${platform}
    COMMAND ${${platform}_strip} --strip-debug -o ${copy} ${library}
    DEPENDS ${platform}_library ${library})
  set(copies ${copies} ${copy} PARENT_SCOPE)
endfunction()
bundle_cross_built(windows-x86_64 OPTION TOCMATE_BUNDLE_WINDOWS TOOLCHAIN mingw-w64-x86_64.cmake
  COMPILER x86_64-w64-mingw32-g++-posix STRIP x86_64-w64-mingw32-strip LIBRARY Tocmate.dll)
bundle_cross_built(linux-aarch64 OPTION TOCMATE_BUNDLE_LINUX_AARCH64
  TOOLCHAIN aarch64-linux-gnu.cmake COMPILER aarch64-linux-gnu-g++ STRIP aarch64-linux-gnu-strip
  LIBRARY libTocmate.so)

get_target_property(classes_jar tocmate_classes JAR_FILE)
list(TRANSFORM copies REPLACE "^${natives}/" "" OUTPUT_VARIABLE bundled)
list(JOIN bundled "|" bundled)
set(TOCMATE_JAR ${CMAKE_BINARY_DIR}/tocmate.jar)
add_custom_command(OUTPUT ${TOCMATE_JAR}
  COMMAND ${CMAKE_COMMAND} -DCLASSES_JAR=${classes_jar} -DOUTPUT_JAR=${TOCMATE_JAR}
          -DJAR_TOOL=${Java_JAR_EXECUTABLE} -DSTAGE=${stage} -DBUNDLED=${bundled}
          -P ${PROJECT_SOURCE_DIR}/cmake/BundleNatives.cmake
  DEPENDS tocmate_classes ${classes_jar} ${copies} ${PROJECT_SOURCE_DIR}/cmake/BundleNatives.cmake
  COMMENT "Making tocmate.jar with the native libraries"
  VERBATIM)
add_custom_target(tocmate ALL DEPENDS ${TOCMATE_JAR})
install(FILES ${TOCMATE_JAR} DESTINATION ${CMAKE_INSTALL_DATADIR}/java)
