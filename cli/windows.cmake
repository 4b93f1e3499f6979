# vantrel-cut for Windows, checked under Wine with the same script as natively.
add_executable(vantrel-cut ${CMAKE_SOURCE_DIR}/cli/vantrel_cut_main.cpp ${CMAKE_SOURCE_DIR}/cli/cut_options.cpp ${CMAKE_SOURCE_DIR}/cli/cut_job_run.cpp
                           ${CMAKE_SOURCE_DIR}/cli/job_summary.cpp
                           ${CMAKE_SOURCE_DIR}/cli/nothing_to_cut.cpp ${CMAKE_SOURCE_DIR}/cli/gzip_design.cpp
                           ${CMAKE_SOURCE_DIR}/cli/marks_page.cpp)
target_include_directories(vantrel-cut PRIVATE ${CMAKE_SOURCE_DIR}/cli)
# zlib from Debian's MinGW build, linked in whole: the program needs no zlib1.dll.
find_library(VANTREL_ZLIB_STATIC NAMES libz.a REQUIRED)
find_path(VANTREL_ZLIB_INCLUDE zlib.h REQUIRED)
target_include_directories(vantrel-cut PRIVATE ${VANTREL_ZLIB_INCLUDE})
target_link_libraries(vantrel-cut PRIVATE vantrel_design ${VANTREL_ZLIB_STATIC})

add_test(NAME win.vantrel-cut.${VANTREL_ARCH}
  COMMAND ${CMAKE_SOURCE_DIR}/cli/check_tool.sh ${CMAKE_SOURCE_DIR} $<TARGET_FILE:vantrel-cut> ${CMAKE_SOURCE_DIR}/cmake/wine-run)
set_tests_properties(win.vantrel-cut.${VANTREL_ARCH} PROPERTIES LABELS win TIMEOUT ${VANTREL_TEST_TIMEOUT})
