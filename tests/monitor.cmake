# tst_monitor starts its own PulseAudio server too; one at a time.
if(TARGET tst_monitor)
  set_tests_properties(tst_monitor PROPERTIES RESOURCE_LOCK pulseaudio LABELS audio)
endif()
