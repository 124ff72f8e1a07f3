# The camera's card files, the language and speed unit from the card, the settings editor and
# the SETUP command.
viewer_test(settings_record_test SOURCES settings/SetupRecordTest.cpp LIBS settings_core)
viewer_test(settings_card_test SOURCES settings/CardFilesTest.cpp settings/CardFixture.h LIBS settings_core)
if(TARGET settings)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  viewer_test(settings_editor_test SOURCES settings/NewSetupDlgTest.cpp settings/CardFixture.h settings/GuiSupport.h
    LIBS settings Qt6::Test)
endif()
if(TARGET settings)
  viewer_test(settings_command_test SOURCES settings/SetupCommandTest.cpp settings/CardFixture.h settings/GuiSupport.h
    LIBS settings Qt6::Test)
endif()
# Format, download, the drive picker and the older preferences dialog.
if(TARGET settings)
  viewer_test(settings_format_test SOURCES settings/FormatTest.cpp settings/CardFixture.h settings/GuiSupport.h
    LIBS settings Qt6::Test)
  viewer_test(settings_download_test SOURCES settings/DownloadTest.cpp settings/CardFixture.h settings/GuiSupport.h
    LIBS settings Qt6::Test)
  viewer_test(settings_dialogs_test SOURCES settings/OlderDialogsTest.cpp settings/CardFixture.h settings/GuiSupport.h
    LIBS settings Qt6::Test)
endif()
