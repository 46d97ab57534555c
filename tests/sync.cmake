# The server link end to end, against the development server.
if(TARGET y6server)
  add_executable(test_sync test_sync.cpp)
  target_link_libraries(test_sync PRIVATE testsupport server GTest::gtest_main)
  target_compile_definitions(test_sync PRIVATE Y6SERVER="$<TARGET_FILE:y6server>")
  add_dependencies(test_sync y6server)
  gtest_discover_tests(test_sync PROPERTIES TIMEOUT 120)
endif()
