# Read by ctest after the discovered tests of test_common: the UnixLocker
# tests share one machine-wide System V semaphore key, so they never run at
# the same time.
foreach(test_name IN LISTS test_common_TESTS)
  if(test_name MATCHES "^UnixLocker")
    set_tests_properties("${test_name}" PROPERTIES RESOURCE_LOCK vyn_unixlocker_semkey)
  endif()
endforeach()
