# The simulated cutter's portable machine model, instrumented like the core,
# linked into the unit tests; and a native tool that renders a recorded byte
# stream.
file(GLOB VANTREL_SIM_MODEL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/model/*.cpp)
add_library(vantrel_sim_model_san STATIC ${VANTREL_SIM_MODEL_SOURCES})
target_include_directories(vantrel_sim_model_san PUBLIC ${CMAKE_SOURCE_DIR}/sim)
target_compile_options(vantrel_sim_model_san PUBLIC ${VANTREL_SANITIZE})
target_link_options(vantrel_sim_model_san PUBLIC ${VANTREL_SANITIZE})
target_link_libraries(vantrel-unit-tests PRIVATE vantrel_sim_model_san)
