# Reading an hour of drive data at open: line parser and G-track resampler.
if(benchmark_FOUND)
  add_executable(media_track_bench media/TrackParseBench.cpp)
  target_link_libraries(media_track_bench PRIVATE media benchmark::benchmark benchmark::benchmark_main)
endif()
