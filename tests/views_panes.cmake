# Video panes and their frame windows.
if(TARGET views)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  viewer_test(views_panes_test SOURCES views/PaneTest.cpp LIBS views Qt6::Test)
endif()
