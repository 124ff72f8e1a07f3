#include "media/FilterTable.h"

#include <gst/gst.h>

namespace {

// Class ids of the filters the program has always named, beside the elements that do
// their work here.
const FilterEntry kFilters[] = {
    {FilterClass::Source, "{046814AD-616F-4DF8-B600-0234759FF57F}", {"filesrc", "qtdemux", "avidemux", nullptr}},
    {FilterClass::AacDecoder, "{6AC7C19E-8CA0-4E3D-9A9F-2881DE29E0AC}", {"avdec_aac", nullptr, nullptr, nullptr}},
    {FilterClass::AudioRenderer, "{79376820-07D0-11CF-A24D-0020AFD79767}",
     {"autoaudiosink", "volume", "audioconvert", "audioresample"}},
    {FilterClass::VideoDecoder, "{2BD6A557-9A76-4DAF-805E-C1FA73C9CF0D}", {"avdec_h264", "avdec_mpeg4", nullptr, nullptr}},
    {FilterClass::ColorConverter, "{1643E180-90F5-11CE-97D5-00AA0055595A}", {"videoconvert", nullptr, nullptr, nullptr}},
    {FilterClass::VideoRenderer, "{B87BEB7B-8D29-423F-AE4D-6582C10175AC}", {"appsink", "queue", nullptr, nullptr}},
    {FilterClass::Brightness, "{16CC5240-AC7B-433F-B5D9-D3473C4F8505}", {"videobalance", nullptr, nullptr, nullptr}},
};

}  // namespace

const FilterEntry& FindFilterEntry(FilterClass cls)
{
    for (const FilterEntry& e : kFilters)
        if (e.cls == cls) return e;
    return kFilters[0];
}

bool FilterRegistered(FilterClass cls)
{
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
    const FilterEntry& e = FindFilterEntry(cls);
    for (const char* name : e.factories) {
        if (!name) break;
        GstElementFactory* f = gst_element_factory_find(name);
        if (!f) return false;
        gst_object_unref(f);
    }
    return true;
}

const char* VideoDecoderFactory(StreamCodec codec)
{
    switch (codec) {
    case StreamCodec::H264: return "avdec_h264";
    case StreamCodec::Mpeg4: return "avdec_mpeg4";
    default: return nullptr;
    }
}
