# The drive-data displays: the dashboard painters, the graph window and the G-sensor window.
if(TARGET views)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  viewer_test(views_painters_test SOURCES views/DashboardPaintersTest.cpp controls/GuiTest.h LIBS views Qt6::Test)
  viewer_test(views_gsensor_test SOURCES views/GSensorDlgTest.cpp controls/GuiTest.h LIBS views Qt6::Test)
  viewer_test(views_graph_test SOURCES views/GraphDlgTest.cpp controls/GuiTest.h LIBS views Qt6::Test)
endif()
