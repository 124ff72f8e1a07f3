#pragma once
// The buffer pool the renderers offer the video decoders, so that pictures go on without a
// copy. A decoder that renders straight into the pool keeps each reference picture mapped
// for writing for as long as it refers to it, and GStreamer then copies the whole picture
// when the decoder hands it on (the buffer cannot be shared while it is mapped so). The
// pool's memory answers that copy with a read-only view of the same bytes instead, and the
// pool never gives a buffer out again while a view of it is alive: the decoder never
// writes into a picture it has finished and still refers to, so the view stays whole.
struct _GstAllocator;
struct _GstBufferPool;

// A new pool (a video buffer pool: video meta and alignment) taking its memory from
// PictureAllocator() unless configured otherwise.
_GstBufferPool* NewPicturePool();
// The process's allocator of that memory; not to be unreferenced.
_GstAllocator* PictureAllocator();
