# The cost of one 200 ms update of the main window while a two-camera recording plays.
if(TARGET app AND TARGET recgen)
  add_executable(bench_main_timer app/MainTimerBench.cpp)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  target_link_libraries(bench_main_timer PRIVATE app recgen Qt6::Test)
endif()
