# Fails when BINARY needs a Qt GUI library (directly or through another
# library): the instrument must run under QCoreApplication alone.
execute_process(COMMAND ldd ${BINARY} OUTPUT_VARIABLE deps RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ldd ${BINARY} failed")
endif()
if(deps MATCHES "libQt6(Gui|Widgets|PrintSupport|Charts|Svg|OpenGL)[^ ]*")
  message(FATAL_ERROR "${BINARY} needs ${CMAKE_MATCH_0}")
endif()
message(STATUS "${BINARY}: no Qt GUI library")
