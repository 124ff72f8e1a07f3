# The map host and the map pages, in Qt WebEngine running headless.
if(TARGET views)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  viewer_test(views_map_test SOURCES views/MapViewTest.cpp LIBS views Qt6::Test TIMEOUT 300)
endif()
