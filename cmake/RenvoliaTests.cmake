# renvolia_add_test(<name> SOURCES ... LIBRARIES ... [TIMEOUT s])
# One Qt Test executable per class or window, run headless.
function(renvolia_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBRARIES})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    # The machine's own ModemManager stays out of the suites.
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.qpa.*=false;DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent")
endfunction()
