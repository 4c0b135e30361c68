# tocmate.jar: the classes with this platform's library and, where MinGW-w64 is installed,
# a cross-built Tocmate.dll, so that one jar serves Linux and Windows.
find_program(MINGW_CXX x86_64-w64-mingw32-g++-posix)
if(MINGW_CXX)
  set(bundle_windows_default ON)
else()
  set(bundle_windows_default OFF)
endif()
option(TOCMATE_BUNDLE_WINDOWS "Put a cross-built Tocmate.dll into tocmate.jar"
  ${bundle_windows_default})

string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" host_platform)
string(REPLACE "amd64" "x86_64" host_platform "${host_platform}")
set(libraries "${host_platform}=$<TARGET_FILE:Tocmate>")
set(library_targets Tocmate)
if(TOCMATE_BUNDLE_WINDOWS)
  include(ExternalProject)
  ExternalProject_Add(windows_library
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/windows
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DBUILD_TESTING=OFF
    # Its own make, not one of ours: it gets no share of our make's jobs.
    BUILD_COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS
                  ${CMAKE_COMMAND} --build <BINARY_DIR> --target Tocmate
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/windows/Tocmate.dll
    INSTALL_COMMAND "")
  list(APPEND libraries "windows-x86_64=${CMAKE_BINARY_DIR}/windows/Tocmate.dll")
  list(APPEND library_targets windows_library)
endif()

get_target_property(classes_jar tocmate_classes JAR_FILE)
set(TOCMATE_JAR ${CMAKE_BINARY_DIR}/tocmate.jar)
string(REPLACE ";" "|" libraries_argument "${libraries}")
add_custom_command(OUTPUT ${TOCMATE_JAR}
  COMMAND ${CMAKE_COMMAND} -DCLASSES_JAR=${classes_jar} -DOUTPUT_JAR=${TOCMATE_JAR}
          -DJAR_TOOL=${Java_JAR_EXECUTABLE} -DSTAGE=${CMAKE_BINARY_DIR}/jar-stage
          -DSTRIP=${CMAKE_STRIP}
          "-DLIBRARIES=${libraries_argument}" -P ${PROJECT_SOURCE_DIR}/cmake/BundleNatives.cmake
  DEPENDS tocmate_classes ${classes_jar} ${library_targets}
          ${PROJECT_SOURCE_DIR}/cmake/BundleNatives.cmake
  COMMENT "Making tocmate.jar with the native libraries"
  VERBATIM)
add_custom_target(tocmate ALL DEPENDS ${TOCMATE_JAR})
install(FILES ${TOCMATE_JAR} DESTINATION ${CMAKE_INSTALL_DATADIR}/java)
