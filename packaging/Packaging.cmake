# TQX on the desktop: the application icon (rendered from its SVG at build
# time and compiled into the program), the launcher entry, the AppStream
# metadata, the manual page, and the Debian package built by CPack.
# Included from the top-level CMakeLists.txt after the `tqx` target.

set(TQX_APP_ID org.tqx.TQX) # reverse-DNS id: desktop entry, metainfo, icon name
set(TQX_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(TQX_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${TQX_PACKAGING_OUT})

# --- icon: hicolor PNGs rendered from the SVG --------------------------------
find_program(TQX_RSVG_CONVERT rsvg-convert)
if(NOT TQX_RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert not found (Debian package librsvg2-bin; scripts/install-deps installs it)")
endif()
set(TQX_ICON_SVG ${TQX_PACKAGING_DIR}/${TQX_APP_ID}.svg)
set(TQX_ICON_SIZES 16 22 24 32 48 64 128 256)
set(TQX_ICON_PNGS)
foreach(size IN LISTS TQX_ICON_SIZES)
  set(png ${TQX_PACKAGING_OUT}/icons/${size}/${TQX_APP_ID}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TQX_PACKAGING_OUT}/icons/${size}
    COMMAND ${TQX_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${TQX_ICON_SVG}
    DEPENDS ${TQX_ICON_SVG} VERBATIM)
  list(APPEND TQX_ICON_PNGS ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${TQX_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Every window's icon comes from these resources (":/icons/<size>/org.tqx.TQX.png"),
# so the program shows it from the build tree and under any prefix alike.
qt_add_resources(tqx appicon PREFIX /icons BASE ${TQX_PACKAGING_OUT}/icons FILES ${TQX_ICON_PNGS})
target_compile_definitions(tqx PRIVATE TQX_APP_ID="${TQX_APP_ID}")

# --- manual pages, compressed as Debian policy asks (gzip -9n) --------------
set(TQX_MAN_GZS)
foreach(page tqx tqx-cli)
  set(gz ${TQX_PACKAGING_OUT}/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${TQX_PACKAGING_DIR}/${page}.1 ${TQX_PACKAGING_OUT}/${page}.1
    COMMAND gzip -9nf ${TQX_PACKAGING_OUT}/${page}.1
    DEPENDS ${TQX_PACKAGING_DIR}/${page}.1 VERBATIM)
  list(APPEND TQX_MAN_GZS ${gz})
endforeach()
add_custom_target(tqx_manpage ALL DEPENDS ${TQX_MAN_GZS})
install(FILES ${TQX_MAN_GZS} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# --- launcher entry and metadata --------------------------------------------
# The entry runs plain "tqx" where the binary's folder is on every user's
# PATH, and the binary's full path under any other prefix (~/.local/bin is
# not on PATH in every session).
# Written straight into the destination, as two installs into different
# prefixes may run at once from one build folder.
install(CODE "
  set(bindir \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  if(bindir STREQUAL \"/usr/bin\" OR bindir STREQUAL \"/usr/local/bin\")
    set(exec tqx)
  else()
    set(exec \"\${bindir}/tqx\")
  endif()
  file(READ \"${TQX_PACKAGING_DIR}/${TQX_APP_ID}.desktop\" entry)
  string(REPLACE \"\nExec=tqx\n\" \"\nExec=\${exec}\n\" entry \"\${entry}\")
  set(dest \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/${TQX_APP_ID}.desktop\")
  message(STATUS \"Installing: \${dest}\")
  file(WRITE \"\${dest}\" \"\${entry}\")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${dest}\")
")
install(FILES ${TQX_PACKAGING_DIR}/${TQX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${TQX_PACKAGING_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tqx)

# --- Debian package: cpack -G DEB in the build folder (or scripts/package) ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tqx)
set(CPACK_PACKAGE_VENDOR "The TQX developers")
set(CPACK_PACKAGE_CONTACT "The TQX developers <tqx@tqx-meter.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sound-card Y-factor noise figure meter")
set(CPACK_PACKAGE_DESCRIPTION
  "TQX measures the noise figure of receivers, preamplifiers and other\n"
  "two-port devices by the Y-factor method, with an ordinary PC sound card\n"
  "as the power detector. It computes the gain, equivalent noise temperature\n"
  "and noise figure of the device under test with second-stage correction,\n"
  "interpolates ENR calibration tables, switches the noise source through a\n"
  "serial port, and writes text reports and a tab-separated record.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The install step sees the real prefix /usr (see the launcher entry).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # tqx_1.0.0_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.tqx-meter.example/tqx/")
# Library dependencies come from dpkg-shlibdeps. The sound server is reached
# through Qt Multimedia's PulseAudio client; the programs TQX starts: xdg-open
# (web pages, manual, licence), pactl (default input), the volume control.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "xdg-utils, pulseaudio-utils, pulseaudio | pipewire-pulse, pavucontrol | pavucontrol-qt")
# rigctld, for a receiver reached through Hamlib's network model.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libhamlib-utils")
include(CPack)
