# libFuzzer tree (clang): one target per parser; ctest runs each for a short,
# bounded time as a smoke test. Longer runs are made by hand.
set(VANTREL_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer -g -O1)
find_package(pugixml REQUIRED)
add_library(vantrel_core_fuzz STATIC ${VANTREL_CORE_SOURCES} ${VANTREL_DESIGN_SOURCES} ${VANTREL_PUGIXML_SOURCES})
target_include_directories(vantrel_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(vantrel_core_fuzz PUBLIC pugixml::pugixml)
target_compile_options(vantrel_core_fuzz PUBLIC -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g -O1)
# libFuzzer's usual mark of a fuzzing build: the readers' caps are met sooner.
target_compile_definitions(vantrel_core_fuzz PUBLIC FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)

file(GLOB VANTREL_FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
# A trace is played through the simulated machine, built alike.
file(GLOB VANTREL_SIM_MODEL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/model/*.cpp)
add_library(vantrel_sim_fuzz STATIC ${VANTREL_SIM_MODEL_SOURCES} ${CMAKE_SOURCE_DIR}/sim/replay/trace_replay.cpp)
target_include_directories(vantrel_sim_fuzz PUBLIC ${CMAKE_SOURCE_DIR}/sim)
target_link_libraries(vantrel_sim_fuzz PUBLIC vantrel_core_fuzz)

foreach(src ${VANTREL_FUZZ_TARGETS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE vantrel_core_fuzz vantrel_sim_fuzz)
  target_compile_options(${name} PRIVATE ${VANTREL_FUZZ_FLAGS})
  target_link_options(${name} PRIVATE ${VANTREL_FUZZ_FLAGS})
  set(corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
  set(work ${CMAKE_BINARY_DIR}/corpus/${name})
  set(seeds "")
  if(EXISTS ${corpus})
    set(seeds "'${corpus}'")
  endif()
  add_test(NAME fuzz.${name}
    COMMAND sh -c "mkdir -p '${work}' && exec '$<TARGET_FILE:${name}>' -max_total_time=15 -timeout=5 -rss_limit_mb=1024 '${work}' ${seeds}")
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT 60)
endforeach()
