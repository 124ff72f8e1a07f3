# The card road of the main window: the card search and SD open, chosen files, the seek band
# and the list panel, and the smaller commands with the drive monitor.
find_package(Qt6 REQUIRED COMPONENTS Test)
viewer_test(app_card_test SOURCES app/CardTest.cpp app/CardTestSupport.h LIBS app recgen Qt6::Test)
viewer_test(app_files_test SOURCES app/FilesTest.cpp app/CardTestSupport.h LIBS app recgen Qt6::Test)
viewer_test(app_commands_test SOURCES app/CommandsTest.cpp app/CardTestSupport.h LIBS app recgen Qt6::Test)
