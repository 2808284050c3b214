# tst_sequencepulse starts its own PulseAudio server; one at a time.
if(TARGET tst_sequencepulse)
  set_tests_properties(tst_sequencepulse PROPERTIES RESOURCE_LOCK pulseaudio LABELS audio)
endif()
