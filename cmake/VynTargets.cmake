# Library code is built so that a failed allocation yields null instead of a
# throw: the global operators of vyn_alloc return null, and -fcheck-new makes
# every new-expression test for it before running a constructor.
function(vyn_library name)
  add_library(${name} STATIC ${ARGN})
  target_compile_options(${name} PRIVATE -fcheck-new)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# One GoogleTest executable per target, labelled by the target's name without
# its vyn_ prefix so that `ctest -L <label>` runs one subsystem alone.
function(vyn_test_suite label)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  set(exe test_${label})
  add_executable(${exe} ${T_SOURCES})
  target_link_libraries(${exe} PRIVATE ${T_LIBS} vyn_testsupport GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${exe} PROPERTIES LABELS ${label} DISCOVERY_TIMEOUT 60)
endfunction()
