# The settings dialog, the lookup combo box and the progress window (makes widgets: offscreen).
add_executable(test_set test_set.cpp)
target_link_libraries(test_set PRIVATE testsupport mainwin GTest::gtest_main)
gtest_discover_tests(test_set PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
