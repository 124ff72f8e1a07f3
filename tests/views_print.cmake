# Printing the window: packed DIBs and pages printed to PDF and rendered back with pdftoppm.
if(TARGET views)
  viewer_test(views_print_test SOURCES views/PrintScreenTest.cpp views/PrintTestSupport.h LIBS views)
endif()
