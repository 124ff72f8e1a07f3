// Start-code walks and the headers of ISO/IEC 14496-2 (user data, VOL, VOP,
// video packet) and ITU-T H.263 (picture, GOB). Every loop here ends once the
// reader runs out of data: bytes past the end read as zero.
#include <cstring>

#include "decoder/DecoderInternal.h"
#include "decoder/Gmc.h"

namespace dec {

int BitLength(int v)
{
    if (v < 0)
        return 0;
    int n = 1;
    while (v > 1) {
        v >>= 1;
        ++n;
    }
    return n;
}

int ProbeVolStartCode(const uint8_t* data, uint32_t length)
{
    if (!data || length < 2)
        return -1;
    uint32_t window = 0xFFFFFFFFu;
    for (uint32_t i = 0; i + 1 < length; ++i) {
        window = (window << 8) | data[i];
        if ((window & ~0xFu) == 0x120)
            return 0;
    }
    return -1;
}

// Next start code value after a byte alignment, or -1 at the end of the data.
static int NextStartCode(BitReader* r)
{
    BitstreamByteAlign(r);
    uint32_t window = 0xFFFFFFFFu;
    while (BitstreamBitsLeft(r) >= 1) {
        window = (window << 8) | BitstreamGetBits(r, 8);
        if ((window >> 8) == 0x000001)
            return int(window & 0xFF);
    }
    return -1;
}

int ParseVolHeaderOrKeep(VolInfo* vol, BitReader* r, DEC_MESSAGE_FN cb)
{
    // A refused header is read only up to what it refuses: decoding pictures on those half
    // read values (a matrix left empty, say) gives garbage reported as decoded.
    VolInfo parsed = *vol;
    if (ParseVolHeader(&parsed, r, cb) != 0)
        return -1;
    *vol = parsed;
    return 0;
}

int ParseConfigHeaders(VolInfo* vol, BitReader* r, DEC_MESSAGE_FN cb)
{
    int result = 0;
    for (;;) {
        const int code = NextStartCode(r);
        if (code < 0)
            return result;
        if (code == 0xB2)
            ParseUserData(vol, r);
        else if (code >= 0x20 && code <= 0x2F && ParseVolHeaderOrKeep(vol, r, cb) != 0)
            result = -1;
    }
}

int ParseFrameHeaders(DecoderInstance* d, DEC_MESSAGE_FN cb)
{
    BitReader* r = &d->reader;
    for (;;) {
        const int code = NextStartCode(r);
        if (code < 0)
            return 0;
        if (code == 0xB2) {
            ParseUserData(d->vol, r);
        } else if (code >= 0x20 && code <= 0x2F) {
            ParseVolHeaderOrKeep(d->vol, r, cb);
        } else if (code == 0xB3) {
            ParseGovHeader(d);
        } else if (code == 0xB6 && d->vol->video_object_layer_width != 0) {
            if (ParseVopHeader(d) == 0) {
                AdvanceTimeBase(d);
                return 1;
            }
        }
    }
}

void ParseGovHeader(DecoderInstance* d)
{
    BitReader* r = &d->reader;
    if (BitstreamBitsLeft(r) < 18)
        return;
    const int hours = int(BitstreamGetBits(r, 5));
    const int minutes = int(BitstreamGetBits(r, 6));
    BitstreamSkipBits(r, 1);
    const int seconds = int(BitstreamGetBits(r, 6));
    if (minutes > 59 || seconds > 59)
        return; // not a time code: keep counting from the VOPs
    d->timeBase = (hours * 60 + minutes) * 60 + seconds;
    if (d->timeBase < d->lastSeconds)
        d->bTimeRestart = 1;
    if (!d->bTimeCodeSeen && d->frameCount == 0) {
        // Output times start at the first time code, not at midnight.
        d->lastSeconds = d->timeBase;
        d->lastIncrement = 0;
    }
    d->bTimeCodeSeen = 1;
}

void AdvanceTimeBase(DecoderInstance* d)
{
    // Damaged headers may carry any number of modulo_time_base ones: saturate.
    auto add = [](int base, int seconds) {
        const int64_t v = int64_t(base) + seconds;
        return int(v > (1 << 30) ? (1 << 30) : v);
    };
    const VolInfo* vol = d->vol;
    if (vol->vop_coding_type == VOP_B) {
        d->vopSeconds = add(d->lastTimeBase, vol->modulo_time_base);
        return;
    }
    d->lastTimeBase = d->timeBase;
    d->timeBase = add(d->timeBase, vol->modulo_time_base);
    d->vopSeconds = d->timeBase;
}

// Decimal digits at text[*pos]; an empty run gives 0.
static int ReadNumber(const char* text, int* pos)
{
    int v = 0;
    while (text[*pos] >= '0' && text[*pos] <= '9') {
        if (v < 100000000)
            v = v * 10 + (text[*pos] - '0');
        ++*pos;
    }
    return v;
}

void ParseUserData(VolInfo* vol, BitReader* r)
{
    char text[31];
    int n = 0;
    while (n < 30 && BitstreamShowBits(r, 24) != 0x000001 && BitstreamBitsLeft(r) >= 8)
        text[n++] = char(BitstreamGetBits(r, 8));
    text[n] = 0;

    if (std::strncmp(text, "XviD", 4) == 0) {
        int pos = 4;
        const int build = ReadNumber(text, &pos);
        if (build >= 1 && build <= 12)
            vol->bOldEncoder = 1;
    } else if (std::strncmp(text, "DivX", 4) == 0) {
        int pos = 4;
        const int version = ReadNumber(text, &pos);
        int build = 0;
        bool haveBuild = false;
        if (std::strncmp(text + pos, "Build", 5) == 0) {
            pos += 5;
            build = ReadNumber(text, &pos);
            haveBuild = true;
        } else if (text[pos] == 'b') {
            pos += 1;
            build = ReadNumber(text, &pos);
            haveBuild = true;
        }
        if (haveBuild && text[pos] == 'p')
            vol->bPackedBitstream = 1;
        if (build >= 1 && build <= 499)
            vol->bOldEncoder = 1;
        if (version >= 400 && version <= 502)
            vol->workaroundFlags |= WA_DIVX4_5;
        if (version == 500 && build >= 370 && build <= 413)
            vol->workaroundFlags |= WA_DIVX500_GMC;
    }
}

int ReadQuantMatrix(BitReader* r, uint8_t matrix[64])
{
    int count = 0;
    int last = 0;
    while (count < 64) {
        const int v = int(BitstreamGetBits(r, 8));
        if (v == 0)
            break;
        matrix[kZigzag[count]] = uint8_t(v);
        last = v;
        ++count;
    }
    if (count == 0)
        return -1;
    for (int i = count; i < 64; ++i)
        matrix[kZigzag[i]] = uint8_t(last);
    return 0;
}

// Reads `count` flags into consecutive bits of `flags` from `topBit` down.
static void ReadFlags(BitReader* r, int32_t* flags, int topBit, int count)
{
    for (int i = 0; i < count; ++i)
        if (BitstreamGetBit(r))
            *flags |= 1 << (topBit - i);
}

void ParseComplexityEstimationHeader(VolInfo* vol, BitReader* r)
{
    const int method = int(BitstreamGetBits(r, 2));
    vol->complexityFlags |= method << 22;
    if (method > 1)
        return;
    if (!BitstreamGetBit(r))
        ReadFlags(r, &vol->complexityFlags, 21, 6);
    if (!BitstreamGetBit(r))
        ReadFlags(r, &vol->complexityFlags, 15, 4);
    BitstreamSkipBits(r, 1);
    if (!BitstreamGetBit(r))
        ReadFlags(r, &vol->complexityFlags, 11, 4);
    if (!BitstreamGetBit(r))
        ReadFlags(r, &vol->complexityFlags, 7, 6);
    BitstreamSkipBits(r, 1);
    if (method == 1 && !BitstreamGetBit(r))
        ReadFlags(r, &vol->complexityFlags, 1, 2);
}

int ParseVolHeader(VolInfo* vol, BitReader* r, DEC_MESSAGE_FN cb)
{
    BitstreamSkipBits(r, 9); // random_accessible_vol, video_object_type_indication
    int verid = 1;
    if (BitstreamGetBit(r)) { // is_object_layer_identifier
        verid = int(BitstreamGetBits(r, 4));
        BitstreamSkipBits(r, 3);
    }
    if (BitstreamGetBits(r, 4) == 15) // aspect_ratio_info: extended PAR
        BitstreamSkipBits(r, 16);
    if (BitstreamGetBit(r)) { // vol_control_parameters
        BitstreamSkipBits(r, 3);
        if (BitstreamGetBit(r)) // vbv_parameters
            BitstreamSkipBits(r, 79);
    }
    if (BitstreamGetBits(r, 2) != 0) {
        DEC_MSG(cb, "NOT SUPPORTED : Arbitrary Shape\n");
        return -1;
    }
    BitstreamSkipBits(r, 1);
    const int resolution = int(BitstreamGetBits(r, 16));
    if (resolution == 0) {
        DEC_MSG(cb, "ERROR : vop_time_increment_resolution is 0\n");
        return -1;
    }
    vol->vop_time_increment_resolution = resolution;
    vol->incrementBits = BitLength(resolution - 1);
    BitstreamSkipBits(r, 1);
    if (BitstreamGetBit(r)) // fixed_vop_rate
        BitstreamSkipBits(r, vol->incrementBits);
    BitstreamSkipBits(r, 1);
    vol->video_object_layer_width = int(BitstreamGetBits(r, 13));
    BitstreamSkipBits(r, 1);
    vol->video_object_layer_height = int(BitstreamGetBits(r, 13));
    BitstreamSkipBits(r, 1);
    vol->interlaced = BitstreamGetBit(r);
    if (!BitstreamGetBit(r)) {
        DEC_MSG(cb, "NOT SUPPORTED : OBMC\n");
        return -1;
    }
    vol->sprite_enable = int(BitstreamGetBits(r, verid == 1 ? 1 : 2));
    vol->no_of_sprite_warping_points = 0;
    vol->sprite_warping_accuracy = 0;
    vol->sprite_brightness_change = 0;
    if (vol->sprite_enable != 0 && vol->sprite_enable != 2) {
        DEC_MSG(cb, "NOT SUPPORTED : sprite_enable\n");
        return -1;
    }
    if (vol->sprite_enable == 2) {
        const int points = int(BitstreamGetBits(r, 6));
        if (points > 3) {
            DEC_MSG(cb, "ERROR : GMC points > 3");
            return -1;
        }
        vol->no_of_sprite_warping_points = points;
        vol->sprite_warping_accuracy = int(BitstreamGetBits(r, 2));
        vol->sprite_brightness_change = BitstreamGetBit(r);
    }
    if (BitstreamGetBit(r)) {
        DEC_MSG(cb, "NOT SUPPORTED : Not 8bit\n");
        return -1;
    }
    vol->quant_type = BitstreamGetBit(r);
    if (vol->quant_type) {
        if (BitstreamGetBit(r)) {
            if (ReadQuantMatrix(r, vol->intra_quant_mat) != 0 || vol->intra_quant_mat[0] != 8) {
                DEC_MSG(cb, "ERROR : intra quant matrix\n");
                return -1;
            }
        } else {
            std::memcpy(vol->intra_quant_mat, kDefaultIntraMatrix, 64);
        }
        if (BitstreamGetBit(r)) {
            if (ReadQuantMatrix(r, vol->nonintra_quant_mat) != 0) {
                DEC_MSG(cb, "ERROR : inter quant matrix\n");
                return -1;
            }
        } else {
            std::memcpy(vol->nonintra_quant_mat, kDefaultNonIntraMatrix, 64);
        }
    }
    vol->quarter_sample = verid != 1 ? BitstreamGetBit(r) : 0;
    if (!BitstreamGetBit(r)) { // complexity_estimation_disable
        vol->complexityFlags = 1 << 24;
        ParseComplexityEstimationHeader(vol, r);
    } else {
        vol->complexityFlags = 0;
    }
    // resync_marker_disable is not trusted: the VOL the repair writes sets it
    // for streams whose VOPs carry resync markers, and markers are found
    // regardless of it.
    BitstreamSkipBits(r, 1);
    vol->data_partitioned = BitstreamGetBit(r);
    vol->reversible_vlc = 0;
    if (vol->data_partitioned) {
        if (vol->interlaced) {
            DEC_MSG(cb, "Error : DP+Interlaced is forbidden\n");
            return -1;
        }
        vol->reversible_vlc = BitstreamGetBit(r);
    }
    if (verid != 1) {
        if (BitstreamGetBit(r)) {
            DEC_MSG(cb, "NOT SUPPORTED : NewPred\n");
            return -1;
        }
        if (BitstreamGetBit(r)) {
            DEC_MSG(cb, "NOT SUPPORTED : reduced resolution vop\n");
            return -1;
        }
    }
    if (BitstreamGetBit(r)) {
        DEC_MSG(cb, "NOT SUPPORTED : scalability\n");
        return -1;
    }
    return 0;
}

void SkipVopComplexityEstimation(VolInfo* vol, BitReader* r)
{
    const int32_t f = vol->complexityFlags;
    const int method = (f >> 22) & 3;
    if (method > 1)
        return;
    const int type = vol->vop_coding_type;
    if (type == VOP_S)
        return;
    auto skip8 = [&](int bit) {
        if (f & (1 << bit))
            BitstreamSkipBits(r, 8);
    };
    // opaque, transparent, intra_cae, inter_cae, no_update, upsampling
    for (int bit = 21; bit >= 16; --bit)
        skip8(bit);
    skip8(15); // intra_blocks
    if (type == VOP_I) {
        skip8(12); // not_coded_blocks
        skip8(11); // dct_coefs
        skip8(10); // dct_lines
        skip8(9);  // vlc_symbols
        if (f & (1 << 8))
            BitstreamSkipBits(r, 4); // vlc_bits
        skip8(1);  // sadct
        return;
    }
    skip8(12);
    skip8(11);
    skip8(10);
    skip8(9);
    if (f & (1 << 8))
        BitstreamSkipBits(r, 4);
    skip8(14); // inter_blocks
    skip8(13); // inter4v_blocks
    skip8(7);  // apm
    skip8(6);  // npm
    skip8(4);  // forw_back_mc_q
    skip8(3);  // halfpel2
    skip8(2);  // halfpel4
    if (type == VOP_B)
        skip8(5); // interpolate_mc_q
    skip8(1);  // sadct
    skip8(0);  // quarterpel
}

int ParseVopHeader(DecoderInstance* d)
{
    static constexpr int8_t kDcThreshold[8] = {32, 13, 15, 17, 19, 21, 23, 0};
    VolInfo* vol = d->vol;
    BitReader* r = &d->reader;
    vol->vop_coding_type = int(BitstreamGetBits(r, 2));
    int modulo = 0;
    while (BitstreamGetBit(r)) {
        ++modulo;
        if (BitstreamBitsLeft(r) < 1)
            return -1;
    }
    vol->modulo_time_base = modulo;
    BitstreamSkipBits(r, 1);
    vol->vop_time_increment = int(BitstreamGetBits(r, vol->incrementBits));
    BitstreamSkipBits(r, 1);
    if (!BitstreamGetBit(r)) { // vop_coded
        vol->bNotCoded = 1;
        return 0;
    }
    vol->bNotCoded = 0;
    const int type = vol->vop_coding_type;
    vol->vop_rounding_type = (type == VOP_P || type == VOP_S) ? BitstreamGetBit(r) : 0;
    if (vol->complexityFlags & (1 << 24))
        SkipVopComplexityEstimation(vol, r);
    vol->intraDcThreshold = kDcThreshold[BitstreamGetBits(r, 3)];
    if (vol->interlaced) {
        vol->top_field_first = BitstreamGetBit(r);
        vol->alternate_vertical_scan_flag = BitstreamGetBit(r);
    } else {
        vol->top_field_first = 0;
        vol->alternate_vertical_scan_flag = 0;
    }
    if (vol->sprite_enable == 2 && type == VOP_S) {
        ParseSpriteTrajectory(d);
        if (vol->sprite_brightness_change)
            ParseBrightnessChange(vol, r);
    }
    vol->vop_quant = int(BitstreamGetBits(r, 5));
    if (vol->vop_quant == 0)
        return -1;
    if (type != VOP_I) {
        vol->vop_fcode_forward = int(BitstreamGetBits(r, 3));
        if (vol->vop_fcode_forward == 0)
            return -1;
    }
    if (type == VOP_B) {
        vol->vop_fcode_backward = int(BitstreamGetBits(r, 3));
        if (vol->vop_fcode_backward == 0)
            return -1;
    }
    if (type == VOP_I) {
        vol->resyncMarkerLength = 17;
    } else if (type == VOP_B) {
        const int f = vol->vop_fcode_forward > vol->vop_fcode_backward ? vol->vop_fcode_forward
                                                                         : vol->vop_fcode_backward;
        vol->resyncMarkerLength = 16 + f > 18 ? 16 + f : 18;
    } else {
        vol->resyncMarkerLength = 16 + vol->vop_fcode_forward;
    }
    return 0;
}

// Sprite warping vector component: dmv_length by its code, then the value.
static int ReadWarpingMvCode(BitReader* r)
{
    int length;
    const uint32_t two = BitstreamGetBits(r, 2);
    if (two == 0) {
        length = 0;
    } else if (two == 1) {
        length = 1 + BitstreamGetBit(r);
    } else if (two == 2) {
        length = 3 + BitstreamGetBit(r);
    } else if (!BitstreamGetBit(r)) {
        length = 5;
    } else {
        length = 6;
        while (length < 14 && BitstreamGetBit(r))
            ++length;
    }
    if (length == 0)
        return 0;
    int v = int(BitstreamGetBits(r, length));
    if (v < (1 << (length - 1)))
        v = v + 1 - (1 << length);
    return v;
}

void ParseSpriteTrajectory(DecoderInstance* d)
{
    VolInfo* vol = d->vol;
    BitReader* r = &d->reader;
    GmcSetup setup;
    setup.points = vol->no_of_sprite_warping_points;
    setup.accuracy = vol->sprite_warping_accuracy;
    // The warp's reference points sit at the corners of the coded picture,
    // not of the macroblock grid.
    setup.width = vol->video_object_layer_width;
    setup.height = vol->video_object_layer_height;
    setup.divx500Trajectory = (vol->workaroundFlags & WA_DIVX500_GMC) != 0;
    const bool marker = !setup.divx500Trajectory;
    for (int i = 0; i < setup.points && i < 3; ++i) {
        setup.du[i] = ReadWarpingMvCode(r);
        if (marker)
            BitstreamSkipBits(r, 1);
        setup.dv[i] = ReadWarpingMvCode(r);
        if (marker)
            BitstreamSkipBits(r, 1);
    }
    const GmcParams p = ComputeGmcParams(setup);
    d->gmcMode = p.mode;
    d->gmcUo = p.uo;
    d->gmcVo = p.vo;
    d->gmcUco = p.uco;
    d->gmcVco = p.vco;
    d->gmcDuDx = p.dudx;
    d->gmcDuDy = p.dudy;
    d->gmcDvDx = p.dvdx;
    d->gmcDvDy = p.dvdy;
}

void ParseBrightnessChange(VolInfo*, BitReader* r)
{
    int prefix = 0;
    while (prefix < 4 && BitstreamGetBit(r))
        ++prefix;
    static constexpr int kBits[5] = {5, 6, 7, 9, 10};
    BitstreamSkipBits(r, kBits[prefix]);
}

int ParseVideoPacketHeader(DecoderInstance* d)
{
    BitReader* r = &d->reader;
    VolInfo* vol = d->vol;
    const int markerLength = vol->resyncMarkerLength;
    BitstreamByteAlign(r);
    for (;;) {
        if (BitstreamBitsLeft(r) < 1)
            return -1;
        if (BitstreamShowBits(r, 24) == 0x000001) {
            ConcealLostMacroblocks(d, d->mbCount);
            return 1;
        }
        if (BitstreamShowBits(r, markerLength) == 1)
            break;
        BitstreamSkipBits(r, 8);
    }
    const uint8_t* marker = r->ptr - r->bitsValid / 8;
    BitstreamSkipBits(r, markerLength);
    const int mb = int(BitstreamGetBits(r, BitLength(d->mbCount - 1)));
    // A packet whose MB number is damaged is lost; the next header conceals
    // up to its own MB.
    if (mb < d->mbNum || mb >= d->mbCount || (mb > d->mbNum && HeaderMbDamaged(d, marker, mb)))
        return -1;
    if (mb > d->mbNum)
        ConcealLostMacroblocks(d, mb);
    const int quant = int(BitstreamGetBits(r, 5));
    if (quant == 0)
        return -1;
    vol->vop_quant = quant;
    if (BitstreamGetBit(r)) { // header_extension_code
        while (BitstreamGetBit(r) && BitstreamBitsLeft(r) >= 1) {
        }
        BitstreamSkipBits(r, 1);
        BitstreamSkipBits(r, vol->incrementBits);
        BitstreamSkipBits(r, 1);
        const int type = int(BitstreamGetBits(r, 2));
        BitstreamSkipBits(r, 3); // intra_dc_vlc_thr
        if (vol->sprite_enable == 2 && type == VOP_S)
            ParseSpriteTrajectory(d);
        if (type != VOP_I)
            BitstreamSkipBits(r, 3);
        if (type == VOP_B)
            BitstreamSkipBits(r, 3);
    }
    return 0;
}

static int ReportRefused(DEC_MESSAGE_FN cb)
{
    DEC_MSG(cb, "Not supported H263 features\n");
    return -1;
}

int ParseH263PictureHeader(VolInfo* vol, BitReader* r, DEC_MESSAGE_FN cb)
{
    static constexpr int16_t kFormat[8][2] = {
        {0, 0}, {128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}, {0, 0}, {0, 0},
    };
    vol->vop_rounding_type = 0;
    BitstreamByteAlign(r);
    for (;;) {
        if (BitstreamBitsLeft(r) < 1)
            return -1;
        if (BitstreamShowBits(r, 22) == 0x20)
            break;
        BitstreamSkipBits(r, 8);
    }
    BitstreamSkipBits(r, 22);
    vol->vop_time_increment = int(BitstreamGetBits(r, 8)); // TR
    BitstreamSkipBits(r, 5);
    const int format = int(BitstreamGetBits(r, 3));
    if (format == 7) {
        const int ufep = int(BitstreamGetBits(r, 3));
        int customFormat = 0;
        int customPcf = 0;
        if (ufep == 1) {
            const int opFormat = int(BitstreamGetBits(r, 3));
            if (opFormat == 6) {
                customFormat = 1;
            } else {
                if (kFormat[opFormat][0] == 0)
                    return -1;
                vol->video_object_layer_width = kFormat[opFormat][0];
                vol->video_object_layer_height = kFormat[opFormat][1];
            }
            customPcf = BitstreamGetBit(r);
            BitstreamSkipBits(r, 1); // unrestricted motion vectors
            if (BitstreamGetBits(r, 9) != 0)
                return ReportRefused(cb);
            BitstreamSkipBits(r, 4);
        }
        vol->vop_coding_type = int(BitstreamGetBits(r, 3));
        if (vol->vop_coding_type > 1)
            return ReportRefused(cb);
        if (BitstreamGetBits(r, 2) != 0)
            return ReportRefused(cb);
        vol->vop_rounding_type = BitstreamGetBit(r);
        BitstreamSkipBits(r, 3);
        if (BitstreamGetBit(r)) // CPM
            return ReportRefused(cb);
        if (customFormat) {
            const int par = int(BitstreamGetBits(r, 4));
            vol->video_object_layer_width = (int(BitstreamGetBits(r, 9)) + 1) * 4;
            BitstreamSkipBits(r, 1);
            vol->video_object_layer_height = int(BitstreamGetBits(r, 9)) * 4;
            if (par == 15)
                BitstreamSkipBits(r, 16);
        }
        if (customPcf) {
            BitstreamSkipBits(r, 8);
            BitstreamSkipBits(r, 2);
        }
        vol->vop_quant = int(BitstreamGetBits(r, 5));
        if (vol->vop_quant == 0)
            return -1;
    } else {
        if (kFormat[format][0] == 0)
            return -1;
        vol->video_object_layer_width = kFormat[format][0];
        vol->video_object_layer_height = kFormat[format][1];
        vol->vop_coding_type = BitstreamGetBit(r);
        BitstreamSkipBits(r, 4);
        vol->vop_quant = int(BitstreamGetBits(r, 5));
        if (vol->vop_quant == 0)
            return -1;
        if (BitstreamGetBit(r))
            return ReportRefused(cb);
    }
    while (BitstreamGetBit(r)) { // PEI
        BitstreamSkipBits(r, 8);
        if (BitstreamBitsLeft(r) < 1)
            break;
    }
    vol->vop_fcode_forward = 1;
    return 0;
}

// Macroblocks per GOB: one MB row up to 400 lines, two up to 800, else four.
static int GobMacroblocks(const DecoderInstance* d)
{
    const int h = d->vol->video_object_layer_height;
    const int rows = h <= 400 ? 1 : (h <= 800 ? 2 : 4);
    return d->gobMbWidth * rows;
}

int ParseH263GobHeader(DecoderInstance* d)
{
    BitReader* r = &d->reader;
    for (;;) {
        if (BitstreamBitsLeft(r) < 1)
            return -1;
        if (BitstreamIsAligned(r) && BitstreamShowBits(r, 22) == 0x20) {
            ConcealLostMacroblocks(d, d->mbCount);
            return 1;
        }
        if (BitstreamShowBits(r, 17) == 1)
            break;
        BitstreamSkipBits(r, 1);
    }
    BitstreamSkipBits(r, 17);
    const int gn = int(BitstreamGetBits(r, 5));
    const int mb = gn * GobMacroblocks(d);
    if (mb < d->mbNum || mb >= d->mbCount)
        return -1;
    if (mb > d->mbNum)
        ConcealLostMacroblocks(d, mb);
    BitstreamSkipBits(r, 2); // GFID
    const int quant = int(BitstreamGetBits(r, 5));
    if (quant == 0)
        return -1;
    d->vol->vop_quant = quant;
    return 0;
}

}  // namespace dec
