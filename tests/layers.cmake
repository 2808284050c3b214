# Folder layering, at include level (no two folders include each other,
# directly or through a third) and at link level (each folder's library
# links whole with only the folders below it): scripts/check-layers prints
# the graph and every fault. The link check's list of archives and outside
# libraries is written here at generate time.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(NOT Python3_Interpreter_FOUND)
  return()
endif()
set(TQX_LAYER_TARGETS
  physics=tqxphysics platform=tqx_platform sheet=tqx_sheet calc=tqx_calc help=tqx_help
  acquire=tqx_acquire report=tqx_report instrument=tqx_instrument remote=tqx_remote qtplatform=tqxplatform
  gui=tqxgui cli=tqxcli)
set(TQX_LAYER_SPEC "cxx ${CMAKE_CXX_COMPILER}\n")
foreach(pair IN LISTS TQX_LAYER_TARGETS)
  string(REPLACE "=" ";" pair ${pair})
  list(GET pair 0 folder)
  list(GET pair 1 target)
  string(APPEND TQX_LAYER_SPEC "folder ${folder} $<TARGET_FILE:${target}>\n")
endforeach()
# Outside libraries hold no TQX symbol, so all of them may be given to every
# link: only references into TQX's own folders can stay undefined.
foreach(qt Core Gui Widgets PrintSupport Network SerialPort Multimedia Charts Svg OpenGL)
  if(TARGET Qt6::${qt})
    string(APPEND TQX_LAYER_SPEC "external $<TARGET_LINKER_FILE:Qt6::${qt}>\n")
  endif()
endforeach()
string(APPEND TQX_LAYER_SPEC "external ${FFTW3_LINK_LIBRARIES} ${HAMLIB_LINK_LIBRARIES} -ldl -lpthread\n")
if(TQX_SANITIZE)
  string(APPEND TQX_LAYER_SPEC "external -fsanitize=address,undefined\n")
endif()
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/layers-link.txt CONTENT "${TQX_LAYER_SPEC}")
add_test(NAME layers COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/check-layers ${CMAKE_SOURCE_DIR}
  --link ${CMAKE_BINARY_DIR}/layers-link.txt)
