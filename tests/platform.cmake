viewer_test(platform_test SOURCES platform/RegistryTest.cpp LIBS platform)
