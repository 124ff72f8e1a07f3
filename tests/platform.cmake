viewer_test(platform_test SOURCES platform/RegistryTest.cpp LIBS platform)
viewer_test(platform_file_access_test SOURCES platform/FileAccessTest.cpp LIBS platform TIMEOUT 120)
