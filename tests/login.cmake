# The login dialog with its first-time initialisation (makes widgets: offscreen).
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(test_login test_login.cpp)
target_link_libraries(test_login PRIVATE testsupport login Qt6::Test GTest::gtest_main)
gtest_discover_tests(test_login PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
