# Runs the composer into the build folder and fails unless its output equals the committed file.
# Usage: cmake [-DEMULATOR=wine] -DSONGWRITER=path -DOUTPUT=file -DEXPECTED=file -P reproduce.cmake
execute_process(COMMAND ${EMULATOR} ${SONGWRITER} ${OUTPUT} RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "songwriter failed (${status})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED} RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${OUTPUT} differs from ${EXPECTED}: run songwriter resources/song.xm and commit")
endif()
