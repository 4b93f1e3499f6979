# Native Linux tree: the portable core, its unit tests (under ASan/UBSan),
# the command-line tools and the benchmarks.
find_package(GTest REQUIRED)
find_package(benchmark QUIET)
find_package(pugixml REQUIRED)
include(GoogleTest)

set(VANTREL_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)

add_library(vantrel_core STATIC ${VANTREL_CORE_SOURCES})
target_include_directories(vantrel_core PUBLIC ${CMAKE_SOURCE_DIR}/src)

add_library(vantrel_design STATIC ${VANTREL_DESIGN_SOURCES} ${VANTREL_PUGIXML_SOURCES})
target_link_libraries(vantrel_design PUBLIC vantrel_core pugixml::pugixml)

# The same sources again, instrumented, for the unit tests.
add_library(vantrel_core_san STATIC ${VANTREL_CORE_SOURCES} ${VANTREL_DESIGN_SOURCES} ${VANTREL_PUGIXML_SOURCES})
target_include_directories(vantrel_core_san PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(vantrel_core_san PUBLIC ${VANTREL_SANITIZE})
target_link_options(vantrel_core_san PUBLIC ${VANTREL_SANITIZE})
target_link_libraries(vantrel_core_san PUBLIC pugixml::pugixml)

file(GLOB VANTREL_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(vantrel-unit-tests ${VANTREL_UNIT_TESTS})
target_link_libraries(vantrel-unit-tests PRIVATE vantrel_core_san GTest::gtest GTest::gtest_main)
target_compile_definitions(vantrel-unit-tests PRIVATE VANTREL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
gtest_discover_tests(vantrel-unit-tests
  TEST_PREFIX "unit."
  PROPERTIES LABELS unit TIMEOUT ${VANTREL_TEST_TIMEOUT}
  DISCOVERY_TIMEOUT 60)

# The committed PNG resources must be what their generator draws today.
add_test(NAME unit.images_current COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/resources/images/generate.py --check)
set_tests_properties(unit.images_current PROPERTIES LABELS unit TIMEOUT 60)

# Every include in src/ keeps the layer order (docs/architecture.md).
add_test(NAME unit.layers COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/layers/check_layers.py ${CMAKE_SOURCE_DIR})
set_tests_properties(unit.layers PROPERTIES LABELS unit TIMEOUT 60)

foreach(dir cli sim bench packaging)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/native.cmake)
    include(${CMAKE_SOURCE_DIR}/${dir}/native.cmake)
  endif()
endforeach()
