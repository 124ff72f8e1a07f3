// Spreads the G records of a recording evenly over its duration at 50 slots a
// second, filling the gaps by three-point Newton interpolation, for the info text.
#include "media/TrackData.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kSlotsPerSecond = 50;

struct Axis {
    double GTrackRecord::*value;
};
constexpr Axis kAxes[] = {{&GTrackRecord::dGz}, {&GTrackRecord::dGx}, {&GTrackRecord::dGy}};

// Slot index of a position; positions are never negative here and stay far below
// the int range (the duration is a 32-bit count of milliseconds).
int SlotOf(double x) { return static_cast<int>(x); }

struct Pass {
    double x0 = 0.0, x1 = 0.0, x2 = 0.0;
    double d1[3] = {}, d2[3] = {};
    double y0[3] = {};
};

void CopyRecord(int slot, const GTrackRecord& record)
{
    if (slot >= 0 && slot < kGSlotCapacity)
        g_aGTrackResampled[slot] = record;
}

// Fills the slots strictly between trunc(from) and trunc(to) with the quadratic of
// the pass; the slots' other fields stay 0.
void FillBetween(const Pass& p, double from, double to)
{
    const int first = SlotOf(from) + 1;
    const int end = std::min(SlotOf(to), kGSlotCapacity);
    for (int s = first; s < end; ++s) {
        GTrackRecord& slot = g_aGTrackResampled[s];
        for (int a = 0; a < 3; ++a)
            slot.*kAxes[a].value = (s - p.x0) * p.d1[a] + p.y0[a] + (s - p.x0) * p.d2[a] * (s - p.x1);
    }
}

}  // namespace

int CTextData::InterpolateGTrack()
{
    std::fill(std::begin(g_aGTrackResampled), std::end(g_aGTrackResampled), GTrackRecord{});
    const int n = std::clamp(g_nGRecordCount, 0, kGTrackCapacity);
    if (n < 2) {
        g_nGSlotCount = 0;
        return 0;
    }
    // In 64 bits: the 32-bit product overflows for recordings over about 12 hours.
    // A negative duration counts as none.
    const std::int64_t slotTotal = std::max<std::int64_t>(
        0, static_cast<std::int64_t>(g_nDurationMs) * kSlotsPerSecond / 1000);
    const double step = static_cast<double>(slotTotal) / n;

    Pass p;
    for (int i = 0; i < n - 2; ++i) {
        p.x0 = i * step;
        p.x1 = (i + 1) * step;
        p.x2 = (i + 2) * step;
        if (SlotOf(p.x0) >= kGSlotCapacity)
            break;  // the slot table is full; later passes would write nothing
        const GTrackRecord& r0 = g_aGTrack[i];
        const GTrackRecord& r1 = g_aGTrack[i + 1];
        const GTrackRecord& r2 = g_aGTrack[i + 2];
        for (int a = 0; a < 3; ++a) {
            const double y0 = r0.*kAxes[a].value;
            const double y1 = r1.*kAxes[a].value;
            const double y2 = r2.*kAxes[a].value;
            p.y0[a] = y0;
            // With no step every record lands in slot 0 and nothing is filled.
            if (step > 0) {
                p.d1[a] = (y1 - y0) / (p.x1 - p.x0);
                p.d2[a] = ((y2 - y1) / (p.x2 - p.x1) - p.d1[a]) / (p.x2 - p.x0);
            }
        }
        CopyRecord(SlotOf(p.x0), r0);
        FillBetween(p, p.x0, p.x1);
    }
    // The last quadratic, through records n - 3, n - 2 and n - 1; the last record
    // itself only shapes it.
    CopyRecord(SlotOf(p.x1), g_aGTrack[n - 2]);
    FillBetween(p, p.x1, p.x2);
    g_nGSlotCount = std::min(SlotOf(p.x2), kGSlotCapacity);
    return 0;
}
