# The drive-data displays of the main window while recordings play.
find_package(Qt6 REQUIRED COMPONENTS Test)
viewer_test(app_dashboard_test SOURCES app/DashboardTest.cpp app/CardTestSupport.h LIBS app recgen Qt6::Test)
if(VIEWER_SANITIZE)
  # As for the other main-window tests: Chromium's own size mismatch is not ours to mend.
  set_property(TEST app_dashboard_test APPEND PROPERTY ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0")
endif()
