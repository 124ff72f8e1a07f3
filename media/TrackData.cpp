#include "media/TrackData.h"

GTrackRecord g_aGTrack[kGTrackCapacity];
std::int32_t g_nGRecordCount = 0;
SpeedAssistRecord g_aSpeedAssist[kGTrackCapacity];
double g_dPeakG = 0.0;
GTrackRecord g_aGTrackResampled[kGSlotCapacity];
std::int32_t g_nGSlotCount = 0;
GpsTableEntry g_aGpsTable[kGpsTableCapacity];
std::uint8_t g_bResetGpsIndex = 0;

std::int32_t g_nPlayPositionMs = 0;
std::int32_t g_nDurationMs = 0;

CTextData::CTextData() = default;

CTextData::~CTextData()
{
    m_nGpsIndex = 0;
    m_nGpsCount = 0;
    m_aGSensorData.clear();
    m_aGPSData.clear();
}
