# Benchmarks of the cut stream and of flattening (Google Benchmark). Built
# with the native tree when the library is installed; never run by the tests.
# For figures, build a Release tree:
#   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build build/bench --target vantrel-bench
#   build/bench/bin/vantrel-bench
if(NOT benchmark_FOUND)
  return()
endif()
add_executable(vantrel-bench ${CMAKE_SOURCE_DIR}/bench/cut_stream_bench.cpp)
target_link_libraries(vantrel-bench PRIVATE vantrel_core benchmark::benchmark)
