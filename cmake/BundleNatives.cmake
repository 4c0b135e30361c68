# Makes the jar: the classes jar plus the native libraries staged in STAGE/NATIVES_PATH/
# <platform>/, and their index NATIVES_PATH/platforms ("<platform>/<file>" a line). Run with
# cmake -P and
#   CLASSES_JAR   the jar of the classes       OUTPUT_JAR  the jar to make
#   JAR_TOOL      the JDK's jar                STAGE       the staging folder
#   NATIVES_PATH  the libraries' folder in the jar
#   BUNDLED       the libraries to take, "<platform>/<file>" separated by "|"
string(REPLACE "|" "\n" index "${BUNDLED}")
file(WRITE ${STAGE}/${NATIVES_PATH}/platforms "${index}\n")
string(REPLACE "|" ";" libraries "${BUNDLED}")
file(COPY_FILE ${CLASSES_JAR} ${OUTPUT_JAR})
set(entries)
foreach(file platforms ${libraries})
  list(APPEND entries -C ${STAGE} ${NATIVES_PATH}/${file})
endforeach()
# Stored, not compressed: a JVM reads the library at every start, and inflating it would cost
# that start more than anything else the loader does.
execute_process(COMMAND ${JAR_TOOL} --update --no-compress --file ${OUTPUT_JAR} ${entries}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "jar could not add the native libraries to ${OUTPUT_JAR}")
endif()
