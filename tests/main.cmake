# The main window, connection, heartbeat and the maintenance commands (makes widgets: offscreen);
# with the development server in the build, also against it.
add_executable(test_main test_main.cpp)
target_link_libraries(test_main PRIVATE testsupport mainwin GTest::gtest_main)
if(TARGET y6server)
  target_compile_definitions(test_main PRIVATE Y6SERVER="$<TARGET_FILE:y6server>")
  add_dependencies(test_main y6server)
endif()
gtest_discover_tests(test_main PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
