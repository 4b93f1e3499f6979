# Windows tree (MinGW-w64, x86_64 or i686): the plug-in DLL, the stand-in host
# and the test programs, which run under Wine.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

# The release build is the one users get: optimised for size and speed, with
# full debug information that the packaging step moves into a separate file
# (so a crash report can still be read), and every unused function dropped.
add_compile_options($<$<CONFIG:Release>:-g> $<$<CONFIG:Release>:-ffunction-sections> $<$<CONFIG:Release>:-fdata-sections>)
add_link_options($<$<CONFIG:Release>:-Wl,--gc-sections>)

add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_library(vantrel_core STATIC ${VANTREL_CORE_SOURCES})
target_include_directories(vantrel_core PUBLIC ${CMAKE_SOURCE_DIR}/src)

# SVG documents through the system's XmlLite, in place of pugixml: the tools'
# and the stand-in host's, not the plug-in's.
list(REMOVE_ITEM VANTREL_SHELL_SOURCES ${VANTREL_XMLLITE_SOURCES})
add_library(vantrel_design STATIC ${VANTREL_DESIGN_SOURCES} ${VANTREL_XMLLITE_SOURCES})
target_link_libraries(vantrel_design PUBLIC vantrel_core)

set(VANTREL_SYSTEM_LIBS gdiplus comctl32 setupapi ole32 oleaut32 uuid shlwapi shell32 advapi32 user32 gdi32 kernel32)

# Everything of the plug-in but its two exports, so that tests can link it
# directly and look inside.
set(VANTREL_EXPORTS_SOURCE ${CMAKE_SOURCE_DIR}/src/plugin/win32/dll_exports.cpp)
list(REMOVE_ITEM VANTREL_SHELL_SOURCES ${VANTREL_EXPORTS_SOURCE})
add_library(vantrel_shell STATIC ${VANTREL_SHELL_SOURCES})
target_include_directories(vantrel_shell PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/resources
                           ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(vantrel_shell PUBLIC vantrel_core ${VANTREL_SYSTEM_LIBS})

# Resource script compiled once per target that carries the plug-in's resources.
set(VANTREL_RC ${CMAKE_SOURCE_DIR}/resources/vantrel.rc)
# The script pulls in fragments, ids, images and pages: any change rebuilds it.
file(GLOB_RECURSE VANTREL_RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
list(REMOVE_ITEM VANTREL_RESOURCE_FILES ${VANTREL_RC})
list(APPEND VANTREL_RESOURCE_FILES ${CMAKE_BINARY_DIR}/generated/vantrel_version.h)
set_source_files_properties(${VANTREL_RC} PROPERTIES OBJECT_DEPENDS "${VANTREL_RESOURCE_FILES}")

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VANTREL_DEF ${CMAKE_SOURCE_DIR}/resources/vantrel-x86.def)
else()
  set(VANTREL_DEF ${CMAKE_SOURCE_DIR}/resources/vantrel.def)
endif()
add_library(Vantrel SHARED ${VANTREL_EXPORTS_SOURCE} ${VANTREL_RC} ${VANTREL_DEF})
set_target_properties(Vantrel PROPERTIES PREFIX "" OUTPUT_NAME Vantrel)
target_link_libraries(Vantrel PRIVATE vantrel_shell)

# Acting on the plug-in's windows from another thread and capturing them:
# shared by the stand-in host's demo script and the Wine tests.
file(GLOB VANTREL_DRIVING_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/win32/driving/*.cpp)
add_library(vantrel_driving STATIC ${VANTREL_DRIVING_SOURCES})
target_include_directories(vantrel_driving PUBLIC ${CMAKE_SOURCE_DIR}/host/win32 ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(vantrel_driving PUBLIC gdiplus user32 gdi32)

file(GLOB VANTREL_HOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/win32/*.cpp)
add_executable(vantrel-host ${VANTREL_HOST_SOURCES})
target_link_libraries(vantrel-host PRIVATE vantrel_design vantrel_driving gdiplus comctl32 user32 gdi32)
target_link_options(vantrel-host PRIVATE -municode)
# The demo script finds the dialog's controls by the plug-in's own ids.
target_include_directories(vantrel-host PRIVATE ${CMAKE_SOURCE_DIR}/resources)
add_dependencies(vantrel-host Vantrel)

# Wine test programs: one GoogleTest program per file in tests/win. A file
# named e2e_*.cpp belongs to the end-to-end tier.
file(GLOB VANTREL_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*_test.cpp)
file(GLOB VANTREL_WIN_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/support/*.cpp)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VANTREL_ARCH win32)
else()
  set(VANTREL_ARCH win64)
endif()

add_executable(vantrel-sanity ${CMAKE_SOURCE_DIR}/tests/win/sanity.cpp)
# The program must print its own architecture and exit with 42; anything else,
# including a silent exit 0 from a missing 32-bit Wine, fails.
add_test(NAME win.sanity.${VANTREL_ARCH}
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win/run_sanity.sh ${CMAKE_SOURCE_DIR}/cmake/wine-run
          $<TARGET_FILE:vantrel-sanity> ${VANTREL_ARCH})
set_tests_properties(win.sanity.${VANTREL_ARCH} PROPERTIES LABELS win TIMEOUT 60)

foreach(src ${VANTREL_WIN_TESTS})
  get_filename_component(name ${src} NAME_WE)
  set(target win-${name})
  add_executable(${target} ${src} ${VANTREL_WIN_TEST_SUPPORT} ${VANTREL_RC})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/win)
  target_link_libraries(${target} PRIVATE vantrel_shell vantrel_design vantrel_driving gtest gtest_main)
  target_link_options(${target} PRIVATE -mconsole)
  target_compile_definitions(${target} PRIVATE VANTREL_ARCH="${VANTREL_ARCH}")
  add_dependencies(${target} Vantrel)
  if(name MATCHES "^e2e_")
    set(label e2e)
  else()
    set(label win)
  endif()
  add_test(NAME ${label}.${name}.${VANTREL_ARCH} COMMAND ${target} --gtest_color=no)
  # One desktop: a program that focuses, captures the mouse or sends keys must
  # not run beside another, or each takes the other's keyboard focus.
  set_tests_properties(${label}.${name}.${VANTREL_ARCH} PROPERTIES LABELS ${label}
    TIMEOUT ${VANTREL_TEST_TIMEOUT} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin RESOURCE_LOCK wine_desktop)
endforeach()

# Loads an installed plug-in as the host does; the installer test runs it.
add_executable(vantrel-plugin-info ${CMAKE_SOURCE_DIR}/tests/package/plugin_info.cpp)
target_link_options(vantrel-plugin-info PRIVATE -municode -mconsole)

# The fault table runs the plug-in once per row.
if(TEST e2e.e2e_faults_test.${VANTREL_ARCH})
  set_tests_properties(e2e.e2e_faults_test.${VANTREL_ARCH} PROPERTIES TIMEOUT 600)
endif()

# Exports and imports of the built DLL, read with the cross objdump.
add_test(NAME win.dll_exports.${VANTREL_ARCH}
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win/check_dll.sh ${VANTREL_MINGW_TRIPLE}-objdump $<TARGET_FILE:Vantrel> ${VANTREL_ARCH})
set_tests_properties(win.dll_exports.${VANTREL_ARCH} PROPERTIES LABELS win TIMEOUT 60)

foreach(dir sim cli bench tests/win/setupapi)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/windows.cmake)
    include(${CMAKE_SOURCE_DIR}/${dir}/windows.cmake)
  endif()
endforeach()
