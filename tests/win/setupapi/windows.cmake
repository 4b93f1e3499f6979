# Real discovery against a substitute setupapi.dll: the test program and the
# substitute live in a folder of their own, so that no other program loads
# the substitute, and only this test runs with the DLL override.
set(VANTREL_SETUPAPI_TEST_DIR ${CMAKE_BINARY_DIR}/bin/setupapi)

# Not named "setupapi": that name is the system library every program links.
add_library(setupapi-substitute SHARED ${CMAKE_SOURCE_DIR}/tests/win/setupapi/setupapi_substitute.cpp)
set_target_properties(setupapi-substitute PROPERTIES PREFIX "" OUTPUT_NAME setupapi
  RUNTIME_OUTPUT_DIRECTORY ${VANTREL_SETUPAPI_TEST_DIR} ARCHIVE_OUTPUT_DIRECTORY ${VANTREL_SETUPAPI_TEST_DIR})
# Exported under the plain names SetupAPI has, on x86 too.
target_link_options(setupapi-substitute PRIVATE -Wl,--kill-at)

add_executable(win-device_discovery_test ${CMAKE_SOURCE_DIR}/tests/win/setupapi/device_discovery_test.cpp)
set_target_properties(win-device_discovery_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VANTREL_SETUPAPI_TEST_DIR})
target_link_libraries(win-device_discovery_test PRIVATE vantrel_shell gtest gtest_main)
target_link_options(win-device_discovery_test PRIVATE -mconsole)
add_dependencies(win-device_discovery_test setupapi-substitute)
add_test(NAME win.device_discovery_test.${VANTREL_ARCH} COMMAND win-device_discovery_test --gtest_color=no)
# Native before built-in for setupapi only; the overrides every run has stay.
set_tests_properties(win.device_discovery_test.${VANTREL_ARCH} PROPERTIES LABELS win
  TIMEOUT ${VANTREL_TEST_TIMEOUT} WORKING_DIRECTORY ${VANTREL_SETUPAPI_TEST_DIR}
  ENVIRONMENT "WINEDLLOVERRIDES=mscoree,mshtml=\\;setupapi=n,b")
