# The camera's card files, the language and speed unit from the card, the settings editor and
# the SETUP command.
viewer_test(settings_record_test SOURCES settings/SetupRecordTest.cpp LIBS settings_core)
viewer_test(settings_card_test SOURCES settings/CardFilesTest.cpp LIBS settings_core)
