# Warning and sanitizer options go on our own targets only, never globally, so
# that third-party code is compiled as its authors intend.
function(amp_target_options target)
  target_compile_options(${target} PRIVATE
    $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wshadow -Werror -Wno-missing-field-initializers>)
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(AMP_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=${AMP_SANITIZE} -fno-omit-frame-pointer -g)
    target_link_options(${target} PUBLIC -fsanitize=${AMP_SANITIZE})
  endif()
endfunction()

# A library of the Qt-free core. Its sources (headers included) are checked for
# Qt includes by a test.
function(amp_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  # The stand-in D2XX library (sim/) is a shared library built from these.
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  amp_target_options(${name})
  foreach(src IN LISTS ARGN)
    get_filename_component(abs ${src} ABSOLUTE)
    list(APPEND files ${abs})
  endforeach()
  set_property(GLOBAL APPEND PROPERTY AMP_CORE_FILES ${files})
endfunction()

# One GoogleTest binary; its tests are listed to CTest one by one. FIXTURES
# names CTest fixtures its tests need, LOCKS resources they may not share,
# ENVIRONMENT variables they run with.
function(amp_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;FIXTURES;LOCKS;ENVIRONMENT;ENVIRONMENT_MODIFICATION" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock
                                        Threads::Threads)
  amp_target_options(${name})
  set(properties "")
  if(T_LABELS)
    list(APPEND properties LABELS "${T_LABELS}")
  endif()
  if(CMAKE_CROSSCOMPILING AND NOT T_FIXTURES)
    # Under the emulator every test needs its prefix; other fixtures of the
    # cross build require that one themselves.
    set(T_FIXTURES WinePrefix)
  endif()
  if(T_FIXTURES)
    list(APPEND properties FIXTURES_REQUIRED "${T_FIXTURES}")
  endif()
  if(T_LOCKS)
    list(APPEND properties RESOURCE_LOCK "${T_LOCKS}")
  endif()
  if(T_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  if(T_ENVIRONMENT_MODIFICATION)
    list(APPEND properties ENVIRONMENT_MODIFICATION "${T_ENVIRONMENT_MODIFICATION}")
  endif()
  if(CMAKE_CROSSCOMPILING)
    # The list comes from running the program under the emulator, which is
    # left to test time: the build itself never needs wine.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES ${properties})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  endif()
endfunction()
