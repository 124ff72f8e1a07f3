if(TARGET recgen)
  viewer_test(recgen_test SOURCES tools/RecordingGeneratorTest.cpp LIBS recgen)
endif()
