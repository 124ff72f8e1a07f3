#include "repair/VolHeader.h"

#include <cstring>

std::uint8_t g_abVolHeader[kVolHeaderBufferSize];
int g_nVolHeaderLen = 0;

void InitBitWriter(BitWriter* writer, std::uint8_t* buffer, std::size_t size)
{
    writer->base = buffer;
    writer->ptr = buffer;
    writer->bitPos = 0;
    writer->totalBits = 0;
    writer->size = size;
    writer->overflow = false;
}

void PutBits(BitWriter* writer, int n, std::uint32_t value)
{
    if (n < 1 || n > 32 || writer->overflow) return;
    const std::size_t used = static_cast<std::size_t>(writer->ptr - writer->base);
    const std::size_t needed = (writer->bitPos + n + 7) / 8;
    if (used + needed > writer->size) {
        writer->overflow = true;
        return;
    }
    // A 64-bit window holds position + n bits for every n up to 32, so no write is split.
    const std::uint64_t bits = n == 32 ? value : (value & ((1u << n) - 1));
    const int shift = 64 - writer->bitPos - n;
    std::uint64_t window = 0;
    for (std::size_t i = 0; i < needed; ++i) window |= std::uint64_t(writer->ptr[i]) << (56 - 8 * i);
    const std::uint64_t keep = writer->bitPos == 0 ? 0 : ~0ull << (64 - writer->bitPos);
    window = (window & keep) | (bits << shift);
    for (std::size_t i = 0; i < needed; ++i) writer->ptr[i] = static_cast<std::uint8_t>(window >> (56 - 8 * i));
    writer->ptr += (writer->bitPos + n) / 8;
    writer->bitPos = (writer->bitPos + n) % 8;
    writer->totalBits += n;
}

void PutUserDataBytes(BitWriter* writer, const std::uint8_t text[32])
{
    for (int i = 0; i < 32; ++i) PutBits(writer, 8, text[i]);
}

void AlignWithStuffing(BitWriter* writer)
{
    if (writer->bitPos == 0) return;
    const int n = 8 - writer->bitPos;
    PutBits(writer, n, (1u << (n - 1)) - 1);
}

int BuildVolHeader(int width, int height)
{
    if (width <= 0 || height <= 0 || width > 0x1FFF || height > 0x1FFF) return 0;
    std::memset(g_abVolHeader, 0, sizeof g_abVolHeader);
    BitWriter w;
    InitBitWriter(&w, g_abVolHeader, sizeof g_abVolHeader);

    PutBits(&w, 32, 0x000001B0);  // visual_object_sequence_start_code
    PutBits(&w, 8, 3);            // profile_and_level_indication: Simple Profile, level 3
    PutBits(&w, 32, 0x000001B5);  // visual_object_start_code
    PutBits(&w, 1, 1);            // is_visual_object_identifier
    PutBits(&w, 4, 1);            // visual_object_verid
    PutBits(&w, 3, 1);            // visual_object_priority
    PutBits(&w, 4, 1);            // visual_object_type: video
    PutBits(&w, 1, 0);            // video_signal_type
    AlignWithStuffing(&w);

    PutBits(&w, 32, 0x000001B2);  // user_data_start_code
    std::uint8_t text[32] = {};
    std::memcpy(text, "Halvenric", 9);
    PutUserDataBytes(&w, text);

    PutBits(&w, 32, 0x00000100);  // video_object_start_code
    PutBits(&w, 32, 0x00000120);  // video_object_layer_start_code
    PutBits(&w, 1, 0);            // random_accessible_vol
    PutBits(&w, 8, 1);            // video_object_type_indication: Simple Object
    PutBits(&w, 1, 1);            // is_object_layer_identifier
    PutBits(&w, 4, 1);            // video_object_layer_verid
    PutBits(&w, 3, 1);            // video_object_layer_priority
    PutBits(&w, 4, 1);            // aspect_ratio_info: square pixels
    PutBits(&w, 1, 0);            // vol_control_parameters
    PutBits(&w, 2, 0);            // video_object_layer_shape: rectangular
    PutBits(&w, 1, 1);            // marker_bit
    PutBits(&w, 16, 1000);        // vop_time_increment_resolution
    PutBits(&w, 1, 1);            // marker_bit
    PutBits(&w, 1, 0);            // fixed_vop_rate
    PutBits(&w, 1, 1);            // marker_bit
    PutBits(&w, 13, static_cast<std::uint32_t>(width));
    PutBits(&w, 1, 1);            // marker_bit
    PutBits(&w, 13, static_cast<std::uint32_t>(height));
    PutBits(&w, 1, 1);            // marker_bit
    PutBits(&w, 1, 0);            // interlaced
    PutBits(&w, 1, 1);            // obmc_disable
    PutBits(&w, 1, 0);            // sprite_enable
    PutBits(&w, 1, 0);            // not_8_bit
    PutBits(&w, 1, 0);            // quant_type
    PutBits(&w, 1, 1);            // complexity_estimation_disable
    PutBits(&w, 1, 1);            // resync_marker_disable
    PutBits(&w, 1, 0);            // data_partitioned
    PutBits(&w, 1, 0);            // scalability
    AlignWithStuffing(&w);

    return static_cast<int>(w.totalBits / 8);
}
