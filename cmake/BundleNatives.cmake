# Makes the jar: the classes jar plus the native libraries under natives/<platform>/ and
# their index natives/platforms. Run with cmake -P and:
#   CLASSES_JAR  the jar of the classes        OUTPUT_JAR  the jar to make
#   JAR_TOOL     the JDK's jar                 STAGE       a scratch folder
#   STRIP        binutils' strip (it reads ELF and PE alike): the copies lose their debug
#                information, which a jar's user has no use for
#   LIBRARIES    <platform>=<path> pairs separated by "|", e.g. linux-x86_64=/b/libTocmate.so
string(REPLACE "|" ";" LIBRARIES "${LIBRARIES}")
file(REMOVE_RECURSE ${STAGE})
set(index "")
foreach(entry IN LISTS LIBRARIES)
  string(REGEX MATCH "^([^=]+)=(.+)$" matched "${entry}")
  set(platform ${CMAKE_MATCH_1})
  get_filename_component(name "${CMAKE_MATCH_2}" NAME)
  file(COPY "${CMAKE_MATCH_2}" DESTINATION ${STAGE}/natives/${platform})
  execute_process(COMMAND ${STRIP} --strip-debug ${STAGE}/natives/${platform}/${name}
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "strip could not read ${CMAKE_MATCH_2}")
  endif()
  string(APPEND index "${platform}/${name}\n")
endforeach()
file(WRITE ${STAGE}/natives/platforms "${index}")
file(COPY_FILE ${CLASSES_JAR} ${OUTPUT_JAR})
execute_process(COMMAND ${JAR_TOOL} --update --file ${OUTPUT_JAR} -C ${STAGE} natives
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "jar could not add the native libraries to ${OUTPUT_JAR}")
endif()
