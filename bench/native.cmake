# Benchmarks (never run by the tests). For figures, build a Release tree:
#   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release
#   cmake --build build/bench --target vantrel-bench vantrel-cut-bench vantrel-cut
#   build/bench/bin/vantrel-bench                                  (the generator in memory)
#   build/bench/bin/vantrel-cut-bench build/bench/bin/vantrel-cut  (whole runs against a floor process)
#   cmake --build build/bench --target vantrel-send-bench vantrel-usb-sim
#   build/bench/bin/vantrel-send-bench build/bench/bin/vantrel-cut build/bench/bin/vantrel-usb-sim
#                                                                  (--send: first byte, sending rate)
add_executable(vantrel-cut-bench ${CMAKE_SOURCE_DIR}/bench/cut_tool_bench.cpp)
add_executable(vantrel-send-bench ${CMAKE_SOURCE_DIR}/bench/send_bench.cpp)
target_link_libraries(vantrel-send-bench PRIVATE vantrel_cut_tool)

if(NOT benchmark_FOUND)
  return()
endif()
add_executable(vantrel-bench ${CMAKE_SOURCE_DIR}/bench/cut_stream_bench.cpp)
target_link_libraries(vantrel-bench PRIVATE vantrel_core benchmark::benchmark)
