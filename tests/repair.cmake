# Repair of damaged recordings: the VOL header, the VOP extraction and frame check, the
# MPEG-4 and H.264 methods, and the repair dialog.
set(repair_test_support repair/RepairTestSupport.h repair/RepairTestSupport.cpp)
viewer_test(repair_vol_header_test SOURCES repair/VolHeaderTest.cpp ${repair_test_support}
  LIBS repair_core PkgConfig::FFMPEG)
viewer_test(repair_vop_extract_test SOURCES repair/VopExtractTest.cpp ${repair_test_support}
  LIBS repair_core PkgConfig::FFMPEG)
viewer_test(repair_h264_batch_test SOURCES repair/H264BatchTest.cpp ${repair_test_support}
  LIBS repair_core PkgConfig::FFMPEG)
if(VIEWER_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  viewer_test(repair_dialog_test SOURCES repair/RecoveryTest.cpp ${repair_test_support}
    LIBS repair Qt6::Test PkgConfig::FFMPEG)
endif()
viewer_test(repair_mp4v_test SOURCES repair/Mp4vRepairTest.cpp ${repair_test_support}
  LIBS repair_core PkgConfig::FFMPEG)
