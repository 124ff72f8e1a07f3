# Intra decode speed at 640x480: our decoder beside FFmpeg's, one thread.
add_executable(decoder_bench ${CMAKE_CURRENT_SOURCE_DIR}/DecoderBench.cpp)
target_include_directories(decoder_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(decoder_bench PRIVATE decoder PkgConfig::FFMPEG)
