# The login dialog with its first-time initialisation (makes widgets: offscreen), also against
# the development server when it is built.
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(test_login test_login.cpp)
target_link_libraries(test_login PRIVATE testsupport login Qt6::Test GTest::gtest_main)
if(TARGET y6server)
  target_compile_definitions(test_login PRIVATE Y6SERVER="$<TARGET_FILE:y6server>")
  add_dependencies(test_login y6server)
endif()
gtest_discover_tests(test_login PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 120)
