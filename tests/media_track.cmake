# Media core: track data, data-sample parsers, G-track resampler, recording names, drives.
viewer_test(media_data_sample_parser_test SOURCES media/DataSampleParserTest.cpp LIBS media)
