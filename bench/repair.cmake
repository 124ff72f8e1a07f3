# Repair of a 60-second 640x480 MPEG-4 recording beside FFmpeg's decoding of the same stream.
add_executable(repair_bench ${CMAKE_CURRENT_SOURCE_DIR}/RepairBench.cpp)
target_link_libraries(repair_bench PRIVATE repair_core PkgConfig::FFMPEG)
