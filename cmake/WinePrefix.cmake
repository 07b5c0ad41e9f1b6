# Checks that the wine prefix of the test runs is ready (cmake -P), making it
# on the way when it is not there (cmake/wine-run does that):
#   -DWINE_RUN=<cmake/wine-run> -DWINEPREFIX=<folder>
foreach(var WINE_RUN WINEPREFIX)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
execute_process(
  COMMAND ${WINE_RUN} ${WINEPREFIX} reg query "HKCU\\Software\\Wine\\Drivers" /v Graphics
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "null")
  set(log "${WINEPREFIX}-init.log")
  if(EXISTS ${log})
    file(READ ${log} init)
  endif()
  message(FATAL_ERROR "wine prefix ${WINEPREFIX} is not ready (${rc}): ${out}${err}\n${init}")
endif()
if(NOT IS_DIRECTORY "${WINEPREFIX}/dosdevices")
  message(FATAL_ERROR "${WINEPREFIX} has no dosdevices folder")
endif()
message(STATUS "wine prefix ready: ${WINEPREFIX}")
