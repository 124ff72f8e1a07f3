# Inter-picture decode speed (640x480 and 1280x720, smooth and noisy sources)
# beside FFmpeg's decoder with one thread.
add_executable(decoder_inter_bench ${CMAKE_CURRENT_SOURCE_DIR}/DecoderInterBench.cpp
               ${PROJECT_SOURCE_DIR}/tests/TestScratch.cpp)
target_include_directories(decoder_inter_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
# The stream helpers encode into a scratch folder of the benchmark's own.
target_compile_definitions(decoder_inter_bench PRIVATE
  VIEWER_TEST_SCRATCH_DIR="${CMAKE_CURRENT_BINARY_DIR}/scratch/decoder_inter_bench")
target_link_libraries(decoder_inter_bench PRIVATE decoder PkgConfig::FFMPEG)
