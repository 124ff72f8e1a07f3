# A thumbnail grab of a 1920x1080 H.264 recording and a ten-tile page beside the ffmpeg command.
add_executable(thumbnail_bench ${CMAKE_CURRENT_LIST_DIR}/ThumbnailBench.cpp)
target_link_libraries(thumbnail_bench PRIVATE media recgen)
