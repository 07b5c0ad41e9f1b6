# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix-threads
# flavour, which std::thread and std::mutex need). The runtime is linked
# statically so that the programs and the tests run on a bare Windows, or
# under wine, without any mingw DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(AMP_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${AMP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${AMP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${AMP_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${AMP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# The test programs run under wine (through cmake/wine-run) in a prefix of
# their own inside the build tree, so that no test touches the user's ~/.wine
# or another build's prefix.
find_program(AMP_WINE wine)
if(AMP_WINE)
  set(AMP_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "wine prefix of the test runs")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run ${AMP_WINEPREFIX})
endif()
