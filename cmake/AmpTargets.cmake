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
  amp_target_options(${name})
  foreach(src IN LISTS ARGN)
    get_filename_component(abs ${src} ABSOLUTE)
    list(APPEND files ${abs})
  endforeach()
  set_property(GLOBAL APPEND PROPERTY AMP_CORE_FILES ${files})
endfunction()

# One GoogleTest binary; its tests are listed to CTest one by one.
function(amp_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock
                                        Threads::Threads)
  amp_target_options(${name})
  gtest_discover_tests(${name} PROPERTIES LABELS "${T_LABELS}" DISCOVERY_TIMEOUT 60)
endfunction()
