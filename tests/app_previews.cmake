# The main window's still-frame previews and small commands: thumbnail pages, the frame strip,
# tool tips, the about boxes, GRAPH, X2, LIST and PRINT.
find_package(Qt6 REQUIRED COMPONENTS Test)
viewer_test(app_previews_test SOURCES app/PreviewsTest.cpp app/CardTestSupport.h LIBS app recgen Qt6::Test)
viewer_test(app_small_commands_test SOURCES app/SmallCommandsTest.cpp app/CardTestSupport.h views/PrintTestSupport.h
            LIBS app recgen Qt6::Test)
if(VIEWER_SANITIZE)
  # As for the other main-window tests: Chromium's own objects under Qt WebEngine.
  foreach(t app_previews_test app_small_commands_test)
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0")
  endforeach()
endif()
