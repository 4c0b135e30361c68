# What a Maven repository takes of a release, beside tocmate-<version>.jar: pom.xml (the
# coordinates, name, description and licence; no dependencies), the sources jar and the
# Javadoc jar of the public API. The target "release" makes them all.
set(TOCMATE_POM ${CMAKE_BINARY_DIR}/pom.xml)
configure_file(${PROJECT_SOURCE_DIR}/cmake/pom.xml.in ${TOCMATE_POM} @ONLY)

# Each source under the source root it is in, as its package's folder.
set(TOCMATE_SOURCES_JAR ${CMAKE_BINARY_DIR}/tocmate-${PROJECT_VERSION}-sources.jar)
set(source_entries)
foreach(source ${TOCMATE_JAVA_SOURCES})
  foreach(root ${TOCMATE_JAVA_SOURCE_ROOTS})
    file(RELATIVE_PATH relative ${root} ${source})
    if(NOT relative MATCHES "^\\.\\./")
      list(APPEND source_entries -C ${root} ${relative})
      break()
    endif()
  endforeach()
endforeach()
add_custom_command(OUTPUT ${TOCMATE_SOURCES_JAR}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${TOCMATE_SOURCES_JAR}
  COMMAND ${Java_JAR_EXECUTABLE} --create --file ${TOCMATE_SOURCES_JAR} ${source_entries}
  DEPENDS ${TOCMATE_JAVA_SOURCES}
  VERBATIM)

# The package's public classes, wherever their sources are. Every public member documented,
# its parameters, result and exceptions included: a warning of doclint fails the build.
set(TOCMATE_JAVADOC_JAR ${CMAKE_BINARY_DIR}/tocmate-${PROJECT_VERSION}-javadoc.jar)
set(javadoc ${CMAKE_BINARY_DIR}/javadoc)
list(JOIN TOCMATE_JAVA_SOURCE_ROOTS ":" source_path)
add_custom_command(OUTPUT ${TOCMATE_JAVADOC_JAR}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${javadoc} ${TOCMATE_JAVADOC_JAR}
  COMMAND ${Java_JAVADOC_EXECUTABLE} --release 8 -quiet -Xdoclint:all -Werror -notimestamp
          -doctitle "Tocmate ${PROJECT_VERSION} API" -windowtitle "Tocmate ${PROJECT_VERSION} API"
          -sourcepath ${source_path} -d ${javadoc} cd cd.cli cd.lookup
  COMMAND ${Java_JAR_EXECUTABLE} --create --file ${TOCMATE_JAVADOC_JAR} -C ${javadoc} .
  DEPENDS ${TOCMATE_JAVA_SOURCES}
  VERBATIM)

add_custom_target(release DEPENDS ${TOCMATE_SOURCES_JAR} ${TOCMATE_JAVADOC_JAR})
add_dependencies(release tocmate)
