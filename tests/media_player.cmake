# The player and its graph, on recordings the generator makes at test time.
foreach(t PlayerGraphTest PlayerControlTest PlayerDataTest PlayerFramePathTest)
  viewer_test(media_${t} SOURCES media/${t}.cpp media/PlayerTestSupport.h LIBS media recgen PLAYS)
endforeach()
