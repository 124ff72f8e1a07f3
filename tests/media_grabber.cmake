# Still frames of recordings for the thumbnails, on recordings the generator makes at test time.
viewer_test(media_frame_grabber_test SOURCES media/FrameGrabberTest.cpp LIBS media recgen)
