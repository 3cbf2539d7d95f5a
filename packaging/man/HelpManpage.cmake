# Writes OUTPUT, the manual page of PROGRAM made from its --help text, so that the page never
# falls behind the program's options, followed by the hand-written sections in the files TAIL.
# Usage: cmake -DPROGRAM=... -DNAME=... -DVERSION=... -DSUMMARY=... -DTAIL=a;b -DOUTPUT=... -P
execute_process(
    COMMAND ${PROGRAM} --help
    COMMAND awk -v program=${NAME} -v version=${VERSION} -v summary=${SUMMARY}
            -f ${CMAKE_CURRENT_LIST_DIR}/helptoman.awk
    OUTPUT_FILE ${OUTPUT}
    COMMAND_ERROR_IS_FATAL ANY)
foreach(file IN LISTS TAIL)
    file(READ ${file} text)
    file(APPEND ${OUTPUT} "${text}")
endforeach()
