#pragma once
// Helpers of the data-sample parsers (CTextData::ParseLine, CGPSData::ParseRMC,
// CGSensorData::ParseGRecord in media/TrackData.h).

// Like strtok, except that a call with a null text continues right behind the last
// separator without skipping further separators, so an empty field between two
// separators comes out as an empty token and fields keep their positions. A call
// with a text skips its leading separators. The position lives in one static
// pointer: not reentrant, GUI thread only.
char* NextToken(char* text, const char* separators);

// NMEA ddmm.mmmm (already divided by 100, so dd.mmmmmm) to decimal degrees.
double DegMinToDegrees(double v);
