# Decoder tests: the IDCT, headers and interface, intra streams against FFmpeg,
# and mutated streams.
viewer_test(decoder_idct_test SOURCES decoder/IdctTest.cpp LIBS decoder)
viewer_test(decoder_headers_test SOURCES decoder/HeadersTest.cpp LIBS decoder)
viewer_test(decoder_intra_test SOURCES decoder/IntraStreamTest.cpp LIBS decoder PkgConfig::FFMPEG)
