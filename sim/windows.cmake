# vantrel-sim.exe: the simulated cutter served on named pipes, for Wine.
file(GLOB VANTREL_SIM_MODEL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/model/*.cpp)
file(GLOB VANTREL_SIM_SERVER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/win32/*.cpp)
add_library(vantrel_sim_model STATIC ${VANTREL_SIM_MODEL_SOURCES})
target_include_directories(vantrel_sim_model PUBLIC ${CMAKE_SOURCE_DIR}/sim)
# The tool-path pictures are the core's (src/toolpath).
target_link_libraries(vantrel_sim_model PUBLIC vantrel_core)
add_executable(vantrel-sim ${VANTREL_SIM_SERVER_SOURCES})
target_include_directories(vantrel-sim PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(vantrel-sim PRIVATE vantrel_sim_model kernel32)
target_link_options(vantrel-sim PRIVATE -municode -mconsole)
# Tests start the simulator from beside themselves.
foreach(src ${VANTREL_WIN_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_dependencies(win-${name} vantrel-sim)
endforeach()
