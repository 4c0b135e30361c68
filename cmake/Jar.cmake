# tocmate.jar: the classes with this platform's library and, where MinGW-w64 is installed,
# a cross-built Tocmate.dll, so that one jar serves Linux and Windows. The copies in the jar
# lose their debug information, which a jar's user has no use for.
find_program(MINGW_STRIP x86_64-w64-mingw32-strip)
if(MINGW_STRIP)
  set(bundle_windows_default ON)
else()
  set(bundle_windows_default OFF)
endif()
option(TOCMATE_BUNDLE_WINDOWS "Put a cross-built Tocmate.dll into tocmate.jar"
  ${bundle_windows_default})

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

if(TOCMATE_BUNDLE_WINDOWS)
  include(ExternalProject)
  set(windows_dll ${CMAKE_BINARY_DIR}/windows/Tocmate.dll)
  ExternalProject_Add(windows_library
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/windows
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DBUILD_TESTING=OFF
    # Its own make, not one of ours: it gets no share of our make's jobs.
    BUILD_COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS
                  ${CMAKE_COMMAND} --build <BINARY_DIR> --target Tocmate
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${windows_dll}
    INSTALL_COMMAND "")
  add_custom_command(OUTPUT ${natives}/windows-x86_64/Tocmate.dll
    COMMAND ${CMAKE_COMMAND} -E make_directory ${natives}/windows-x86_64
    COMMAND ${MINGW_STRIP} --strip-debug -o ${natives}/windows-x86_64/Tocmate.dll ${windows_dll}
    DEPENDS windows_library ${windows_dll})
  list(APPEND copies ${natives}/windows-x86_64/Tocmate.dll)
endif()

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
