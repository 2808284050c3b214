# tst_audioqt starts its own PulseAudio server; one at a time.
if(TARGET tst_audioqt)
  set_tests_properties(tst_audioqt PROPERTIES RESOURCE_LOCK pulseaudio LABELS audio)
endif()
