# DOWN of a 500 MB recording between two folders of one disk beside cp of the same file.
if(TARGET settings)
  add_executable(download_bench ${CMAKE_CURRENT_SOURCE_DIR}/DownloadBench.cpp)
  target_link_libraries(download_bench PRIVATE settings)
endif()
