# Windows benchmark programs (bench/win/*_bench.cpp): they print figures and are
# run by hand under Wine, never by the test tiers.
file(GLOB VANTREL_WIN_BENCHES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/win/*_bench.cpp)
foreach(src ${VANTREL_WIN_BENCHES})
  get_filename_component(name ${src} NAME_WE)
  string(REPLACE "_" "-" name ${name})
  add_executable(vantrel-${name} ${src} ${VANTREL_RC})
  target_link_libraries(vantrel-${name} PRIVATE vantrel_shell)
  target_link_options(vantrel-${name} PRIVATE -mconsole)
endforeach()

# The Start stall probe runs the plug-in against the simulated cutter as the
# end-to-end tests do, with their helpers.
target_sources(vantrel-start-stall-bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/win/support/simulator_process.cpp
                                                 ${CMAKE_SOURCE_DIR}/tests/win/support/win_test_support.cpp)
target_include_directories(vantrel-start-stall-bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/win)
target_link_libraries(vantrel-start-stall-bench PRIVATE vantrel_design vantrel_driving)
add_dependencies(vantrel-start-stall-bench vantrel-sim)
