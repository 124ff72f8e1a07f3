#pragma once
// Still frames of a recording without playing it, for the thumbnail pages and the frame strip.
// One open per file: the container is read once, and each grab seeks the chosen stream to the
// key frame before the time, decodes up to the time and scales the frame to the size asked
// with nearest-neighbour sampling (the look the thumbnails always had).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A picture of 32-bit pixels, bytes blue, green, red, 255 (the layout of a 32-bit RGB image),
// rows top down, width * 4 bytes a row.
struct GrabbedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgrx;
};

class FrameGrabber {
public:
    FrameGrabber();
    ~FrameGrabber();
    FrameGrabber(const FrameGrabber&) = delete;
    FrameGrabber& operator=(const FrameGrabber&) = delete;

    // path is the file name's bytes. False for a file no demuxer reads and for anything that
    // is not a regular file; an earlier file is closed first.
    bool Open(const std::string& path);
    void Close();

    // The recording's output streams, video and audio in file order (data tracks are not
    // counted); stream numbers below count among these.
    int GetOutputStreams() const;
    // Native picture size of a video stream; false for any other stream.
    bool GetStreamSize(int stream, int* width, int* height) const;

    // The frame on show at `seconds` of a video stream (the last frame at or before it; the
    // last frame of the stream when the recording is shorter), scaled to width x height.
    // False, with *out untouched, when the stream is no video or no frame could be decoded.
    bool GrabFrame(int stream, double seconds, int width, int height, GrabbedPicture* out);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
