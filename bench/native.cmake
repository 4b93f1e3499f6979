# Benchmarks (never run by the tests). For figures, build a Release tree:
#   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release
#   cmake --build build/bench --target vantrel-bench vantrel-cut-bench vantrel-cut
#   build/bench/bin/vantrel-bench                                  (the generator in memory)
#   build/bench/bin/vantrel-cut-bench build/bench/bin/vantrel-cut  (whole runs against a floor process)
#   ... [rounds] [folder] --against OTHER/vantrel-cut              (and against another build, paired)
#   cmake --build build/bench --target vantrel-svg-bench
#   build/bench/bin/vantrel-svg-bench [megabytes] [rounds]          (SVG reading beside path data)
#   cmake --build build/bench --target vantrel-send-bench vantrel-usb-sim
#   build/bench/bin/vantrel-send-bench build/bench/bin/vantrel-cut build/bench/bin/vantrel-usb-sim
#                                                                  (--send: first byte, sending rate)
#   bench/inkscape_first_byte.sh build/bench/bin/vantrel-cut build/bench/bin/vantrel-usb-sim
#                                                                  (Send to cutter in Inkscape: first byte)
add_executable(vantrel-cut-bench ${CMAKE_SOURCE_DIR}/bench/cut_tool_bench.cpp)
add_executable(vantrel-send-bench ${CMAKE_SOURCE_DIR}/bench/send_bench.cpp)
target_link_libraries(vantrel-send-bench PRIVATE vantrel_cut_tool)

# Only the design readers: it counts their memory with its own operator new.
add_executable(vantrel-svg-bench ${CMAKE_SOURCE_DIR}/bench/svg_read_bench.cpp ${VANTREL_DESIGN_SOURCES}
               ${VANTREL_PUGIXML_SOURCES})
target_include_directories(vantrel-svg-bench PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(vantrel-svg-bench PRIVATE pugixml::pugixml)

if(NOT benchmark_FOUND)
  return()
endif()
add_executable(vantrel-bench ${CMAKE_SOURCE_DIR}/bench/cut_stream_bench.cpp)
target_link_libraries(vantrel-bench PRIVATE vantrel_core benchmark::benchmark)

# The cut order: travel of each order on the SVG corpus and generated sheets, and its time:
#   build/bench/bin/vantrel-order-bench .
add_executable(vantrel-order-bench ${CMAKE_SOURCE_DIR}/bench/cut_order_bench.cpp)
target_link_libraries(vantrel-order-bench PRIVATE vantrel_design benchmark::benchmark)
