# The development server y6server, run as a program and spoken to over HTTP.
add_executable(test_devserver test_devserver.cpp)
target_link_libraries(test_devserver PRIVATE testsupport GTest::gtest_main)
target_compile_definitions(test_devserver PRIVATE Y6SERVER="$<TARGET_FILE:y6server>")
add_dependencies(test_devserver y6server)
gtest_discover_tests(test_devserver)
