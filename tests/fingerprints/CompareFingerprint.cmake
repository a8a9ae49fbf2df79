# Runs a fingerprint program and compares its output byte for byte with the
# reference kept beside this script: a change of the core that moves any
# result by one bit fails here. After an intended change of a result, copy
# OUTPUT over REFERENCE and say why in the commit.
execute_process(COMMAND ${PROGRAM} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} failed: ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${REFERENCE} RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${OUTPUT} differs from ${REFERENCE} (diff the two files)")
endif()
