# The main window's panes and map buttons, its place on small screens, and how the program starts.
find_package(Qt6 REQUIRED COMPONENTS Test)
viewer_test(app_pane_commands_test SOURCES app/PaneCommandsTest.cpp app/CardTestSupport.h LIBS app recgen Qt6::Test)
viewer_test(app_screen_test SOURCES app/ScreenPlacementTest.cpp app/CardTestSupport.h LIBS app recgen Qt6::Test)
viewer_test(app_startup_test SOURCES app/StartUpTest.cpp LIBS app)
target_compile_definitions(app_startup_test PRIVATE VIEWER_PROGRAM="$<TARGET_FILE:velmora-viewer>")
add_dependencies(app_startup_test velmora-viewer)
if(VIEWER_SANITIZE)
  # As for the other main-window tests: Chromium frees some of its own objects through a base of
  # another size.
  foreach(t app_pane_commands_test app_screen_test app_startup_test)
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0")
  endforeach()
endif()
