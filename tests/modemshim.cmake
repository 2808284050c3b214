# modemshim: an LD_PRELOAD library that gives pseudo-terminals DTR and RTS
# lines and logs every change (tests/modemshim/modemshim.c). tst_serialqt
# re-executes itself with it preloaded; the path is compiled into the test.
add_library(modemshim SHARED ${CMAKE_CURRENT_SOURCE_DIR}/modemshim/modemshim.c)
target_link_libraries(modemshim PRIVATE ${CMAKE_DL_LIBS})
# Plain library even in sanitizer builds: it is preloaded ahead of the
# sanitizer runtime.
set_property(TARGET modemshim PROPERTY COMPILE_OPTIONS -Wall -Wextra)
set_property(TARGET modemshim PROPERTY LINK_OPTIONS "")
if(TARGET tst_serialqt)
  add_dependencies(tst_serialqt modemshim)
  target_compile_definitions(tst_serialqt PRIVATE TQX_MODEMSHIM_PATH="$<TARGET_FILE:modemshim>")
endif()
