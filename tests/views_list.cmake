find_package(Qt6 REQUIRED COMPONENTS Test)
viewer_test(views_list_test SOURCES views/ListDlgTest.cpp controls/GuiTest.h LIBS views recgen Qt6::Test)
