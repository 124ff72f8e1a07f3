find_package(Qt6 REQUIRED COMPONENTS Test)
viewer_test(app_main_dlg_test SOURCES app/MainDlgTest.cpp LIBS app recgen Qt6::Test)
