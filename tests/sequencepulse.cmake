# tst_sequencepulse starts its own PulseAudio server through
# scripts/pulse-test-server; the fallback path lets the binary find it when
# run outside CTest.
if(TARGET tst_sequencepulse)
  target_compile_definitions(tst_sequencepulse PRIVATE TQX_SOURCE_DIR_FALLBACK="${CMAKE_SOURCE_DIR}")
  set_tests_properties(tst_sequencepulse PROPERTIES RESOURCE_LOCK pulseaudio LABELS audio)
endif()
