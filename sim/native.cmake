# The simulated cutter's portable machine model, instrumented like the core,
# linked into the unit tests; and a native tool that renders a recorded byte
# stream.
file(GLOB VANTREL_SIM_MODEL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/model/*.cpp)
add_library(vantrel_sim_model_san STATIC ${VANTREL_SIM_MODEL_SOURCES})
target_include_directories(vantrel_sim_model_san PUBLIC ${CMAKE_SOURCE_DIR}/sim ${CMAKE_SOURCE_DIR}/src)
target_compile_options(vantrel_sim_model_san PUBLIC ${VANTREL_SANITIZE})
target_link_options(vantrel_sim_model_san PUBLIC ${VANTREL_SANITIZE})
target_link_libraries(vantrel-unit-tests PRIVATE vantrel_sim_model_san)

add_library(vantrel_sim_model STATIC ${VANTREL_SIM_MODEL_SOURCES})
target_include_directories(vantrel_sim_model PUBLIC ${CMAKE_SOURCE_DIR}/sim)
# The tool-path pictures are the core's (src/toolpath).
target_link_libraries(vantrel_sim_model PUBLIC vantrel_core)
add_executable(vantrel-sim-replay ${CMAKE_SOURCE_DIR}/sim/replay/replay_main.cpp ${CMAKE_SOURCE_DIR}/sim/replay/trace_replay.cpp)
target_link_libraries(vantrel-sim-replay PRIVATE vantrel_sim_model vantrel_core)
if(TARGET vantrel-cut)
  add_test(NAME unit.sim.replay-samples
    COMMAND ${CMAKE_SOURCE_DIR}/sim/replay/check_samples.sh ${CMAKE_SOURCE_DIR}
            $<TARGET_FILE:vantrel-cut> $<TARGET_FILE:vantrel-sim-replay>)
  set_tests_properties(unit.sim.replay-samples PROPERTIES LABELS unit TIMEOUT ${VANTREL_TEST_TIMEOUT})
endif()

# The simulated cutter as a USB device under umockdev, for vantrel-cut --send.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(UMOCKDEV QUIET IMPORTED_TARGET umockdev-1.0)
endif()
if(UMOCKDEV_FOUND)
  add_executable(vantrel-usb-sim ${CMAKE_SOURCE_DIR}/sim/usb/usb_sim_main.cpp ${CMAKE_SOURCE_DIR}/sim/usb/usb_device.cpp)
  target_link_libraries(vantrel-usb-sim PRIVATE vantrel_sim_model vantrel_core PkgConfig::UMOCKDEV)
endif()
if(UMOCKDEV_FOUND AND TARGET vantrel-cut)
  # Not under the sanitizers: umockdev's preload and ASan's runtime both want
  # to come first, so vantrel-cut here is the plain build.
  add_test(NAME unit.usb.send
    COMMAND ${CMAKE_SOURCE_DIR}/sim/usb/check_send.sh ${CMAKE_SOURCE_DIR}
            $<TARGET_FILE:vantrel-cut> $<TARGET_FILE:vantrel-usb-sim> $<TARGET_FILE:vantrel-sim-replay>)
  set_tests_properties(unit.usb.send PROPERTIES LABELS unit TIMEOUT ${VANTREL_TEST_TIMEOUT})
endif()
