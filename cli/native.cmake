# vantrel-cut: the plug-in's job generator on the command line.
add_library(vantrel_cut_tool STATIC ${CMAKE_SOURCE_DIR}/cli/cut_options.cpp ${CMAKE_SOURCE_DIR}/cli/cut_job_run.cpp ${CMAKE_SOURCE_DIR}/cli/job_summary.cpp
                            ${CMAKE_SOURCE_DIR}/cli/nothing_to_cut.cpp ${CMAKE_SOURCE_DIR}/cli/gzip_design.cpp
                            ${CMAKE_SOURCE_DIR}/cli/marks_page.cpp)
target_include_directories(vantrel_cut_tool PUBLIC ${CMAKE_SOURCE_DIR}/cli)
find_package(ZLIB REQUIRED)
target_link_libraries(vantrel_cut_tool PUBLIC vantrel_design ZLIB::ZLIB)

add_executable(vantrel-cut ${CMAKE_SOURCE_DIR}/cli/vantrel_cut_main.cpp)
target_link_libraries(vantrel-cut PRIVATE vantrel_cut_tool)

# Options and driving, under the sanitizers like the core's tests.
add_executable(vantrel-cut-tests ${CMAKE_SOURCE_DIR}/cli/cut_tool_test.cpp ${CMAKE_SOURCE_DIR}/cli/cut_options.cpp ${CMAKE_SOURCE_DIR}/cli/cut_job_run.cpp
                                 ${CMAKE_SOURCE_DIR}/cli/job_summary.cpp
                                 ${CMAKE_SOURCE_DIR}/cli/nothing_to_cut.cpp ${CMAKE_SOURCE_DIR}/cli/gzip_design.cpp
                                 ${CMAKE_SOURCE_DIR}/cli/marks_page.cpp)
target_include_directories(vantrel-cut-tests PRIVATE ${CMAKE_SOURCE_DIR}/cli)
target_link_libraries(vantrel-cut-tests PRIVATE vantrel_core_san ZLIB::ZLIB GTest::gtest GTest::gtest_main)
gtest_discover_tests(vantrel-cut-tests
  TEST_PREFIX "unit.cli."
  PROPERTIES LABELS unit TIMEOUT ${VANTREL_TEST_TIMEOUT}
  DISCOVERY_TIMEOUT 60)

# The program itself on the samples and on designs whose jobs are known byte for byte.
add_test(NAME unit.cli.vantrel-cut
  COMMAND ${CMAKE_SOURCE_DIR}/cli/check_tool.sh ${CMAKE_SOURCE_DIR} $<TARGET_FILE:vantrel-cut>)
set_tests_properties(unit.cli.vantrel-cut PROPERTIES LABELS unit TIMEOUT ${VANTREL_TEST_TIMEOUT})

# The machine through libusb (--send, --list): native builds only.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUSB REQUIRED IMPORTED_TARGET libusb-1.0)
target_sources(vantrel-cut PRIVATE ${CMAKE_SOURCE_DIR}/cli/send_command.cpp ${CMAKE_SOURCE_DIR}/cli/send_progress.cpp
                                   ${CMAKE_SOURCE_DIR}/cli/usb/usb_link.cpp ${CMAKE_SOURCE_DIR}/cli/doctor_command.cpp
                                   ${CMAKE_SOURCE_DIR}/cli/usb/udev_rules.cpp)
target_compile_definitions(vantrel-cut PRIVATE VANTREL_USB)
target_link_libraries(vantrel-cut PRIVATE PkgConfig::LIBUSB)
