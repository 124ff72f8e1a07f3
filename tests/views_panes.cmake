# Video panes and their frame windows, with the main player drawing real recordings into them.
if(TARGET views AND TARGET recgen)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  viewer_test(views_panes_test SOURCES views/PaneTest.cpp LIBS views recgen Qt6::Test PLAYS)
  viewer_test(views_pane_path_test SOURCES views/PaneFramePathTest.cpp LIBS views recgen Qt6::Test PLAYS)
endif()
