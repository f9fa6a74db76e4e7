# Checks that a plug-in library exports exactly its three entry points:
#   cmake -DNM=nm -DLIBRARY=path/Plugin.so -P exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" symbols "${listing}")
string(REPLACE "\n" "" symbols "${symbols}")
list(SORT symbols)
if(NOT symbols STREQUAL "kestrinAPI;kestrinEntry;kestrinExit")
  message(FATAL_ERROR "${LIBRARY} exports: ${symbols}")
endif()
