viewer_test(resources_test SOURCES controls/ResourcesTest.cpp LIBS platform_gui)
