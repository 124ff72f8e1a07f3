# Decoder tests: the IDCT, headers and interface, intra streams against FFmpeg,
# and mutated streams.
viewer_test(decoder_idct_test SOURCES decoder/IdctTest.cpp LIBS decoder)
viewer_test(decoder_headers_test SOURCES decoder/HeadersTest.cpp LIBS decoder)
viewer_test(decoder_vlc_block_test SOURCES decoder/VlcBlockTest.cpp LIBS decoder)
viewer_test(decoder_intra_test SOURCES decoder/IntraStreamTest.cpp LIBS decoder PkgConfig::FFMPEG)
viewer_test(decoder_inter_pixel_test SOURCES decoder/InterPixelTest.cpp LIBS decoder)
viewer_test(decoder_inter_test SOURCES decoder/InterStreamTest.cpp LIBS decoder PkgConfig::FFMPEG)
viewer_test(decoder_inter_damage_test SOURCES decoder/InterDamageTest.cpp LIBS decoder PkgConfig::FFMPEG)
viewer_test(decoder_mutated_test SOURCES decoder/MutatedStreamTest.cpp LIBS decoder)
viewer_test(decoder_inter_mutated_test SOURCES decoder/InterMutatedTest.cpp LIBS decoder PkgConfig::FFMPEG)

# Coverage-guided fuzzing of the decoder's entry points (clang only).
file(GLOB decoder_fuzz_sources ${PROJECT_SOURCE_DIR}/decoder/*.cpp)
viewer_fuzzer(decoder_fuzzer SOURCES decoder/DecoderFuzzer.cpp ${decoder_fuzz_sources})
viewer_test(decoder_inter_motion_test SOURCES decoder/InterMotionTest.cpp LIBS decoder)
viewer_test(decoder_inter_crafted_test SOURCES decoder/InterCraftedTest.cpp LIBS decoder PkgConfig::FFMPEG)
viewer_test(decoder_size_change_test SOURCES decoder/SizeChangeTest.cpp LIBS decoder PkgConfig::FFMPEG)
viewer_test(decoder_packet_damage_test SOURCES decoder/PacketDamageTest.cpp LIBS decoder PkgConfig::FFMPEG)
viewer_test(decoder_conceal_sweep_test SOURCES decoder/ConcealSweepTest.cpp LIBS decoder PkgConfig::FFMPEG)
