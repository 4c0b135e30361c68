# tocmate-<version>.jar: the classes with the native library of every platform, each under
# cd/tocmate/natives/<platform>/<file> and listed in cd/tocmate/natives/platforms
# ("<platform>/<file>" a line). The folder is our package's, so that a jar merged from ours
# and others keeps them apart. This build's own library goes in, and the libraries of the
# other platforms, cross-built each in a build of its own (tocmate_cross_platform, below).
# The copies are stripped: their users need neither debug information nor a symbol table.
option(TOCMATE_RELEASE "Make the release: every platform's library in the jar, or fail" OFF)
# (A cross build's own jar is its platform's.)
if(CMAKE_CROSSCOMPILING)
  set(cross_builds_default OFF)
else()
  set(cross_builds_default ON)
endif()
option(TOCMATE_CROSS_BUILDS "Cross-build other platforms' libraries into the jar"
  ${cross_builds_default})

set(TOCMATE_NATIVES_PATH cd/tocmate/natives)
set(jar_stage ${CMAKE_BINARY_DIR}/jar-stage)
set(bundled)         # "<platform>/<file>" of each library in the jar
set(bundled_copies)  # their stripped copies

# Puts LIBRARY into the jar as PLATFORM's FILE, stripped with STRIP, once the targets or files
# that follow have made it.
function(tocmate_bundle platform file library strip)
  set(folder ${jar_stage}/${TOCMATE_NATIVES_PATH}/${platform})
  add_custom_command(OUTPUT ${folder}/${file}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${strip} --strip-unneeded -o ${folder}/${file} ${library}
    DEPENDS ${ARGN}
    VERBATIM)
  set(bundled ${bundled} ${platform}/${file} PARENT_SCOPE)
  set(bundled_copies ${bundled_copies} ${folder}/${file} PARENT_SCOPE)
endfunction()

# Cross-builds the library FILE for PLATFORM with TOOLCHAIN (a file in cmake/) in
# <build>/<PLATFORM>/ and puts it into the jar, where the option named OPTION is on: by
# default where the cross tools are installed (their strip, STRIP_TOOL, is looked for), always
# for the release. PACKAGE is the Debian package of the cross compiler.
function(tocmate_cross_platform platform option toolchain file strip_tool package)
  if(NOT TOCMATE_CROSS_BUILDS AND NOT TOCMATE_RELEASE)
    return()
  endif()
  find_program(${option}_STRIP ${strip_tool})
  if(TOCMATE_RELEASE OR ${option}_STRIP)
    set(default ON)
  else()
    set(default OFF)
  endif()
  option(${option} "Put a cross-built ${platform} library into the jar" ${default})
  if(TOCMATE_RELEASE AND NOT ${option})
    message(FATAL_ERROR "The release holds the ${platform} library: ${option} must be ON")
  elseif(NOT ${option})
    return()
  endif()
  if(NOT ${option}_STRIP)
    message(FATAL_ERROR "The ${platform} library needs ${strip_tool} and its compiler: "
                        "scripts/install-deps.sh ${package}")
  endif()
  include(ExternalProject)
  set(build ${CMAKE_BINARY_DIR}/${platform})
  ExternalProject_Add(library-${platform}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${build}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${toolchain}
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DBUILD_TESTING=OFF
               -DTOCMATE_FLAC_SOURCE=${TOCMATE_FLAC_SOURCE}
    # Its own make, not one of ours: it gets no share of our make's jobs.
    BUILD_COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS
                  ${CMAKE_COMMAND} --build <BINARY_DIR> --target Tocmate
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${build}/${file}
    INSTALL_COMMAND "")
  tocmate_bundle(${platform} ${file} ${build}/${file} ${${option}_STRIP}
                 library-${platform} ${build}/${file})
  set(bundled ${bundled} PARENT_SCOPE)
  set(bundled_copies ${bundled_copies} PARENT_SCOPE)
endfunction()

string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" host_platform)
string(REPLACE "amd64" "x86_64" host_platform "${host_platform}")
tocmate_bundle(${host_platform} libTocmate.so $<TARGET_FILE:Tocmate> ${CMAKE_STRIP} Tocmate)
set(TOCMATE_STRIPPED_LIBRARY ${bundled_copies})

# One line a platform.
tocmate_cross_platform(windows-x86_64 TOCMATE_BUNDLE_WINDOWS mingw-w64-x86_64.cmake Tocmate.dll
                       x86_64-w64-mingw32-strip g++-mingw-w64-x86-64-posix)
tocmate_cross_platform(linux-aarch64 TOCMATE_BUNDLE_LINUX_AARCH64 aarch64-linux-gnu.cmake
                       libTocmate.so aarch64-linux-gnu-strip g++-aarch64-linux-gnu)

get_target_property(classes_jar tocmate_classes JAR_FILE)
list(JOIN bundled "|" bundled_text)
set(TOCMATE_JAR ${CMAKE_BINARY_DIR}/tocmate-${PROJECT_VERSION}.jar)
add_custom_command(OUTPUT ${TOCMATE_JAR}
  COMMAND ${CMAKE_COMMAND} -DCLASSES_JAR=${classes_jar} -DOUTPUT_JAR=${TOCMATE_JAR}
          -DJAR_TOOL=${Java_JAR_EXECUTABLE} -DSTAGE=${jar_stage}
          -DNATIVES_PATH=${TOCMATE_NATIVES_PATH} -DBUNDLED=${bundled_text}
          -P ${PROJECT_SOURCE_DIR}/cmake/BundleNatives.cmake
  DEPENDS tocmate_classes ${classes_jar} ${bundled_copies}
          ${PROJECT_SOURCE_DIR}/cmake/BundleNatives.cmake
  COMMENT "Making tocmate-${PROJECT_VERSION}.jar with the native libraries"
  VERBATIM)
add_custom_target(tocmate ALL DEPENDS ${TOCMATE_JAR})

install(FILES ${TOCMATE_JAR} DESTINATION ${CMAKE_INSTALL_DATADIR}/java)
install(FILES ${TOCMATE_STRIPPED_LIBRARY} DESTINATION ${CMAKE_INSTALL_LIBDIR})
