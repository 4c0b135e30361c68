# Makes the jar: the classes jar plus the native libraries staged in
# STAGE/cd/tocmate/natives/<platform>/, and their index cd/tocmate/natives/platforms
# ("<platform>/<file>" a line). Run with cmake -P and
#   CLASSES_JAR  the jar of the classes        OUTPUT_JAR  the jar to make
#   JAR_TOOL     the JDK's jar                 STAGE       the staging folder
#   BUNDLED      the libraries to take, "<platform>/<file>" separated by "|"
set(natives cd/tocmate/natives)
string(REPLACE "|" "\n" index "${BUNDLED}")
file(WRITE ${STAGE}/${natives}/platforms "${index}\n")
string(REPLACE "|" ";" libraries "${BUNDLED}")
list(TRANSFORM libraries PREPEND ${natives}/)
file(COPY_FILE ${CLASSES_JAR} ${OUTPUT_JAR})
set(entries)
foreach(file ${natives}/platforms ${libraries})
  list(APPEND entries -C ${STAGE} ${file})
endforeach()
execute_process(COMMAND ${JAR_TOOL} --update --file ${OUTPUT_JAR} ${entries} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "jar could not add the native libraries to ${OUTPUT_JAR}")
endif()
