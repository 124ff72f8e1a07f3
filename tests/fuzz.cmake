# Coverage-guided fuzzing of the readers of card data (clang only): the data-sample parsers,
# the settings and factory files, and the repair's VOP extraction and frame check.
viewer_fuzzer(data_sample_fuzzer SOURCES fuzz/DataSampleFuzzer.cpp
  ${PROJECT_SOURCE_DIR}/media/DataSampleParser.cpp ${PROJECT_SOURCE_DIR}/media/TrackData.cpp
  ${PROJECT_SOURCE_DIR}/media/GTrackResampler.cpp
  LIBS Qt6::Core)
viewer_fuzzer(card_files_fuzzer SOURCES fuzz/CardFilesFuzzer.cpp
  ${PROJECT_SOURCE_DIR}/settings/SetupRecord.cpp ${PROJECT_SOURCE_DIR}/settings/CardFiles.cpp
  ${PROJECT_SOURCE_DIR}/settings/CardLanguage.cpp
  LIBS media platform Qt6::Core)
viewer_fuzzer(vop_extract_fuzzer SOURCES fuzz/VopExtractFuzzer.cpp
  ${PROJECT_SOURCE_DIR}/repair/VopExtract.cpp ${PROJECT_SOURCE_DIR}/repair/FrameCheck.cpp
  ${PROJECT_SOURCE_DIR}/repair/VolHeader.cpp
  LIBS decoder)
