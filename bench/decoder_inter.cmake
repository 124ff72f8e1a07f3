# Inter-picture decode speed (640x480 and 1280x720, smooth and noisy sources)
# beside FFmpeg's decoder with one thread.
add_executable(decoder_inter_bench ${CMAKE_CURRENT_SOURCE_DIR}/DecoderInterBench.cpp)
target_link_libraries(decoder_inter_bench PRIVATE decoder PkgConfig::FFMPEG)
