# The desktop integration: launcher entry, metadata and manual page pass the
# desktop's validators; an installed copy runs; the Debian package holds what
# it should. The package and install tests reuse the built program.
set(TQX_DESKTOP_TESTS ${CMAKE_CURRENT_SOURCE_DIR}/desktop)
add_test(NAME desktop_metadata COMMAND ${TQX_DESKTOP_TESTS}/check-metadata.sh ${CMAKE_SOURCE_DIR}/packaging ${PROJECT_VERSION})
add_test(NAME desktop_install COMMAND ${TQX_DESKTOP_TESTS}/check-install.sh ${CMAKE_BINARY_DIR})
add_test(NAME desktop_package COMMAND ${TQX_DESKTOP_TESTS}/check-package.sh ${CMAKE_BINARY_DIR})
set_tests_properties(desktop_metadata desktop_install desktop_package PROPERTIES TIMEOUT 120)
