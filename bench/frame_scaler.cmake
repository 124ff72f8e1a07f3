# The panes' one-pass conversion of decoded planes to the pane's size: CPU a picture and
# PSNR of the area-averaging pass beside libswscale's modes.
add_executable(frame_scaler_bench ${CMAKE_CURRENT_LIST_DIR}/FrameScalerBench.cpp)
target_link_libraries(frame_scaler_bench PRIVATE media)
target_include_directories(frame_scaler_bench PRIVATE ${PROJECT_SOURCE_DIR})
