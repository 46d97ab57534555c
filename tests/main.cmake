# The main window, connection, heartbeat and the maintenance commands (makes widgets: offscreen).
add_executable(test_main test_main.cpp)
target_link_libraries(test_main PRIVATE testsupport mainwin GTest::gtest_main)
gtest_discover_tests(test_main PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
