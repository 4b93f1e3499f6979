# Send to cutter, the Inkscape extension, end to end: Inkscape runs it and its
# vantrel-cut reaches the simulated cutter under umockdev. Inkscape runs
# extensions only with a display, which xvfb-run gives it.
if(TARGET vantrel-usb-sim AND TARGET vantrel-cut)
  add_test(NAME unit.inkscape.send
    COMMAND xvfb-run -a -s "-screen 0 1024x768x24" ${CMAKE_SOURCE_DIR}/packaging/inkscape/check_inkscape.sh
            ${CMAKE_SOURCE_DIR} $<TARGET_FILE:vantrel-cut> $<TARGET_FILE:vantrel-usb-sim>)
  # About twenty Inkscape runs of 1.5 s or so each when the machine is idle, each bounded by the script.
  set_tests_properties(unit.inkscape.send PROPERTIES LABELS unit TIMEOUT 900)
endif()
