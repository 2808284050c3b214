# Receiver control through Hamlib, built as a module that the program loads
# on the first receiver call (qtplatform/RigModule.h): Hamlib's library tree
# costs start-up time, and most sessions never tune a receiver, so neither
# `tqx` nor tqxplatform links Hamlib.
#
# Included from the top-level CMakeLists.txt after TQX_PLATFORM_SOURCES is
# globbed and before the tqxplatform target is made from it: the Hamlib
# sources leave that list here.

pkg_check_modules(HAMLIB REQUIRED IMPORTED_TARGET hamlib>=4.5)

set(TQX_RIG_MODULE_SOURCES
  ${CMAKE_SOURCE_DIR}/qtplatform/RigHamlib.cpp
  ${CMAKE_SOURCE_DIR}/qtplatform/RigHamlib.h
  ${CMAKE_SOURCE_DIR}/qtplatform/RigHamlibModule.cpp)
list(REMOVE_ITEM TQX_PLATFORM_SOURCES ${TQX_RIG_MODULE_SOURCES})

# Beside the program in the build tree; lib/tqx under the prefix when
# installed. Only the module's two entry points are exported.
add_library(tqxrighamlib MODULE ${TQX_RIG_MODULE_SOURCES})
target_link_libraries(tqxrighamlib PRIVATE tqxcore PkgConfig::HAMLIB)
# --exclude-libs: the core code linked in stays private to the module.
target_link_options(tqxrighamlib PRIVATE -Wl,--no-undefined -Wl,--exclude-libs,ALL)
set_target_properties(tqxrighamlib PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
set(TQX_RIG_MODULE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/tqx)
install(TARGETS tqxrighamlib LIBRARY DESTINATION ${TQX_RIG_MODULE_INSTALL_DIR})

# The loader finds the installed module relative to the program's folder, as
# the data folder is found, so the prefix may change at install time.
file(RELATIVE_PATH TQX_RIG_MODULE_FROM_BINDIR "${CMAKE_INSTALL_FULL_BINDIR}"
  "${CMAKE_INSTALL_PREFIX}/${TQX_RIG_MODULE_INSTALL_DIR}")
set_source_files_properties(${CMAKE_SOURCE_DIR}/qtplatform/RigModule.cpp PROPERTIES COMPILE_DEFINITIONS
  "TQX_RIG_MODULE_FROM_BINDIR=\"${TQX_RIG_MODULE_FROM_BINDIR}\";TQX_RIG_MODULE_FILE=\"$<TARGET_FILE_NAME:tqxrighamlib>\"")

# Whatever links the loader gets the module built too.
cmake_language(DEFER CALL add_dependencies tqxplatform tqxrighamlib)
