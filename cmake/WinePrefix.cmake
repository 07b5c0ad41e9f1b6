# Makes the private wine prefix of the test runs ready (cmake -P):
#   -DWINE_RUN=<cmake/wine-run> -DWINEPREFIX=<folder>
# Initialises the prefix once and selects wine's null display driver, so that
# programs can create (hidden) windows and exchange window messages on a
# machine without a display.
foreach(var WINE_RUN WINEPREFIX)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
# Into a file, not a pipe: the services wineboot starts keep their output
# open for as long as they run, and a pipe would hold this step (and CTest)
# until then.
set(log "${WINEPREFIX}-wineboot.log")
execute_process(COMMAND ${WINE_RUN} ${WINEPREFIX} wineboot -i RESULT_VARIABLE rc
                OUTPUT_FILE ${log} ERROR_FILE ${log})
if(NOT rc EQUAL 0)
  file(READ ${log} err)
  message(FATAL_ERROR "wineboot failed (${rc}): ${err}")
endif()
execute_process(
  COMMAND ${WINE_RUN} ${WINEPREFIX} reg add "HKCU\\Software\\Wine\\Drivers" /v Graphics /d null /f
  RESULT_VARIABLE rc OUTPUT_FILE ${log} ERROR_FILE ${log})
if(NOT rc EQUAL 0)
  file(READ ${log} err)
  message(FATAL_ERROR "cannot select the null display driver (${rc}): ${err}")
endif()
if(NOT IS_DIRECTORY "${WINEPREFIX}/dosdevices")
  message(FATAL_ERROR "${WINEPREFIX} has no dosdevices folder after wineboot")
endif()
message(STATUS "wine prefix ready: ${WINEPREFIX}")
