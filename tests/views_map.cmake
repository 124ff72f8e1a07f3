# The map host and the map pages, in Qt WebEngine running headless.
if(TARGET views)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  viewer_test(views_map_test SOURCES views/MapViewTest.cpp LIBS views Qt6::Test TIMEOUT 300)
  if(VIEWER_SANITIZE)
    # Chromium inside Qt WebEngine frees some of its own objects through a base of another
    # size; that is not ours to mend, everything else stays checked.
    set_property(TEST views_map_test APPEND PROPERTY ENVIRONMENT
      "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:new_delete_type_mismatch=0")
  endif()
endif()
