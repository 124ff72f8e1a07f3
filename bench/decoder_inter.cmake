# Inter-picture decode speed at 640x480 beside FFmpeg's decoder with one thread.
add_executable(decoder_inter_bench ${CMAKE_CURRENT_SOURCE_DIR}/DecoderInterBench.cpp)
target_link_libraries(decoder_inter_bench PRIVATE decoder PkgConfig::FFMPEG)
