# The layer folders, lowest first: a folder includes only from the folders
# before it. Those below platform/ include no Qt header. The layer test, the
# no-Qt check and scripts/check all read the lists from here.
set(AMP_LAYERS core link protocol display keys update session platform ui programs)
set(AMP_QT_FREE_LAYERS core link protocol display keys update session)

# Run as a script with -DPRINT=LAYERS or -DPRINT=QT_FREE_LAYERS, prints that
# list, one folder a line, for the shell scripts.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE AND DEFINED PRINT)
  string(REPLACE ";" "\n" text "${AMP_${PRINT}}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${text}")
endif()
