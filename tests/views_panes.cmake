# Video panes and their frame windows, with the main player drawing real recordings into them.
if(TARGET views AND TARGET recgen)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  viewer_test(views_panes_test SOURCES views/PaneTest.cpp LIBS views recgen Qt6::Test PLAYS)
  viewer_test(views_pane_path_test SOURCES views/PaneFramePathTest.cpp LIBS views recgen Qt6::Test PLAYS)
  # The frame path again on the GL path: an X display of its own, whose only GL (Mesa's
  # software rasteriser) the panes are told to take.
  find_program(XVFB_PROGRAM Xvfb)
  if(XVFB_PROGRAM)
    add_test(NAME views_pane_path_gl_test
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/views/OnXvfb.sh $<TARGET_FILE:views_pane_path_test>)
    set_tests_properties(views_pane_path_gl_test PROPERTIES TIMEOUT 600
      ENVIRONMENT "QT_QPA_PLATFORM=xcb;VIEWER_SOFTWARE_GL=1")
    viewer_test_plays(views_pane_path_gl_test)
  endif()
endif()
