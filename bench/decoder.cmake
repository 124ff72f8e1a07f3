# Intra decode speed at 640x480: our decoder beside FFmpeg's, one thread.
add_executable(decoder_bench ${CMAKE_CURRENT_SOURCE_DIR}/DecoderBench.cpp
               ${PROJECT_SOURCE_DIR}/tests/TestScratch.cpp)
target_include_directories(decoder_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
# The stream helpers encode into a scratch folder of the benchmark's own.
target_compile_definitions(decoder_bench PRIVATE
  VIEWER_TEST_SCRATCH_DIR="${CMAKE_CURRENT_BINARY_DIR}/scratch/decoder_bench")
target_link_libraries(decoder_bench PRIVATE decoder PkgConfig::FFMPEG)
