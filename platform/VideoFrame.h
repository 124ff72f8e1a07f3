#pragma once
// One decoded picture as the renderers hand it to the windows. A picture from the decoder
// keeps the decoder's own planes (I420 or NV12), mapped and held without a copy until the
// last holder lets go; its packed 32-bit pixels are made from them only when something
// reads them (a snapshot, a print, a check). Pictures made by hand carry packed pixels only.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

enum class PlaneLayout { None, I420, NV12 };

// The decoder's planes of a picture: pointers into a buffer that `keep` holds mapped.
struct VideoPlanes {
    PlaneLayout layout = PlaneLayout::None;
    const std::uint8_t* data[3] = {nullptr, nullptr, nullptr};
    int stride[3] = {0, 0, 0};
    bool bt709 = false;      // colour matrix: BT.709, else BT.601
    bool fullRange = false;  // 0..255 rather than 16..235
    std::shared_ptr<const void> keep;

    bool Present() const { return layout != PlaneLayout::None && data[0] && data[1]; }
};

// Bytes of packed pixels, used like a std::vector; when set to be made on first read, the
// bytes are made once (from any thread) the first time they are read or changed.
class FramePixels {
public:
    using Fill = std::function<void(std::uint8_t* out)>;
    using iterator = std::uint8_t*;
    using const_iterator = const std::uint8_t*;
    using value_type = std::uint8_t;

    FramePixels() = default;
    FramePixels(const FramePixels& other);
    FramePixels& operator=(const FramePixels& other);

    // fill writes size bytes when the pixels are first wanted.
    void MakeOnFirstRead(std::size_t size, Fill fill);
    // Whether the bytes exist yet (false while they are still to be made).
    bool Made() const;

    std::size_t size() const;
    bool empty() const { return size() == 0; }
    const std::uint8_t* data() const { return Bytes().data(); }
    std::uint8_t* data() { return Bytes().data(); }
    const_iterator begin() const { return data(); }
    const_iterator end() const { return data() + size(); }
    iterator begin() { return data(); }
    iterator end() { return data() + size(); }
    const std::uint8_t& operator[](std::size_t i) const { return Bytes()[i]; }
    std::uint8_t& operator[](std::size_t i) { return Bytes()[i]; }
    void assign(std::size_t n, std::uint8_t value);
    void resize(std::size_t n);

    friend bool operator==(const FramePixels& a, const FramePixels& b) { return a.Bytes() == b.Bytes(); }
    friend bool operator!=(const FramePixels& a, const FramePixels& b) { return !(a == b); }

private:
    std::vector<std::uint8_t>& Bytes() const;

    mutable std::mutex m_mutex;
    mutable std::vector<std::uint8_t> m_bytes;
    mutable Fill m_fill;
    mutable std::size_t m_pending = 0;  // size of the bytes still to be made
};

struct VideoFrame {
    int width = 0;
    int height = 0;
    int stride = 0;                 // bytes per row of pixels
    FramePixels pixels;             // 32-bit BGRx, top row first, stride * height bytes
    std::int64_t positionMs = -1;   // stream time of the picture
    VideoPlanes planes;             // the decoder's planes, when the picture came from it
};

// What the frame path has done to pictures, counted process-wide so that the work per
// shown picture can be checked and measured.
struct VideoFrameWork {
    std::atomic<std::int64_t> decoded{0};      // pictures taken from the renderers
    std::atomic<std::int64_t> copies{0};       // whole pictures copied on the CPU
    std::atomic<std::int64_t> conversions{0};  // colour conversions (with or without scaling) on the CPU
    std::atomic<std::int64_t> uploads{0};      // pictures handed to the graphics card as planes
};
VideoFrameWork& FrameWork();
