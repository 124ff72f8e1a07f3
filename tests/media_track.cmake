# Media core: track data, data-sample parsers, G-track resampler, recording names, drives.
viewer_test(media_data_sample_parser_test SOURCES media/DataSampleParserTest.cpp LIBS media)
viewer_test(media_gtrack_resampler_test SOURCES media/GTrackResamplerTest.cpp LIBS media)
viewer_test(media_recording_names_test SOURCES media/RecordingNamesTest.cpp LIBS media)
viewer_test(media_drive_table_test SOURCES media/DriveTableTest.cpp LIBS platform)
viewer_test(media_track_round_trip_test SOURCES media/TrackRoundTripTest.cpp LIBS media recgen PkgConfig::FFMPEG)
