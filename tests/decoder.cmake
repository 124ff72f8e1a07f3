# Decoder tests: the IDCT, headers and interface, intra streams against FFmpeg,
# and mutated streams.
viewer_test(decoder_idct_test SOURCES decoder/IdctTest.cpp LIBS decoder)
viewer_test(decoder_headers_test SOURCES decoder/HeadersTest.cpp LIBS decoder)
viewer_test(decoder_intra_test SOURCES decoder/IntraStreamTest.cpp LIBS decoder PkgConfig::FFMPEG)
viewer_test(decoder_inter_pixel_test SOURCES decoder/InterPixelTest.cpp LIBS decoder)
viewer_test(decoder_inter_test SOURCES decoder/InterStreamTest.cpp LIBS decoder PkgConfig::FFMPEG)
viewer_test(decoder_inter_damage_test SOURCES decoder/InterDamageTest.cpp LIBS decoder PkgConfig::FFMPEG)
viewer_test(decoder_mutated_test SOURCES decoder/MutatedStreamTest.cpp LIBS decoder)
viewer_test(decoder_inter_mutated_test SOURCES decoder/InterMutatedTest.cpp LIBS decoder PkgConfig::FFMPEG)
