# The remote control and the batch program, driven from outside as a user's
# script drives them: a real VISA client (Debian's python3-pyvisa with its
# pure-Python back end) and tqx-cli's exit codes and files.
find_program(TQX_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(TQX_SYSTEM_PYTHON AND TARGET tqx-cli)
  foreach(script scpi_pyvisa cli_batch)
    add_test(NAME ${script} COMMAND ${TQX_SYSTEM_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/remote/${script}.py
      $<TARGET_FILE:tqx-cli>)
    set_tests_properties(${script} PROPERTIES TIMEOUT 300
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${TQX_TEST_HOME}/runtime")
  endforeach()
endif()
