# tst_audioqt starts its own PulseAudio server through this script; the
# fallback path lets the binary find it when run outside CTest.
if(TARGET tst_audioqt)
  target_compile_definitions(tst_audioqt PRIVATE TQX_SOURCE_DIR_FALLBACK="${CMAKE_SOURCE_DIR}")
  set_tests_properties(tst_audioqt PROPERTIES RESOURCE_LOCK pulseaudio LABELS audio)
endif()
