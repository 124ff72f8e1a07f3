# The player on a 60-second two-camera recording: open with the data samples, accurate
# seek, and CPU and memory of 20 s of play into the real panes, each beside GStreamer's or
# FFmpeg's own tools.
add_executable(player_bench ${CMAKE_CURRENT_LIST_DIR}/PlayerBench.cpp)
target_link_libraries(player_bench PRIVATE views media recgen)
