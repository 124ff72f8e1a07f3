# The panes' one-pass shrink and colour conversion of decoded planes, against a reference.
viewer_test(media_box_scaler_test SOURCES media/BoxScalerTest.cpp LIBS media)
