#include "media/PicturePool.h"

#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace {

constexpr const char* kMemoryType = "ViewerPictureMemory";

// A block of its own, or a read-only view of another such memory's bytes.
struct PictureMemory {
    GstMemory mem;
    std::uint8_t* block = nullptr;    // what was allocated (null for a view)
    std::uint8_t* data = nullptr;     // the aligned start of the bytes
    GstBuffer* owner = nullptr;       // the pool's buffer holding the block, while it lives
    GstBuffer* shown = nullptr;       // a view: the owner, referenced until the view goes
    std::atomic<int> writers{0};      // mappings for writing alive
};

struct PictureAllocatorObject {
    GstAllocator parent;
};
struct PictureAllocatorObjectClass {
    GstAllocatorClass parent_class;
};

PictureMemory* NewBlock(GstAllocator* allocator, GstMemoryFlags flags, gsize size, gsize align, gsize prefix,
                        gsize padding)
{
    auto* m = new PictureMemory;
    const gsize maxsize = prefix + size + padding;
    m->block = static_cast<std::uint8_t*>(g_malloc(maxsize + align));
    m->data = m->block;
    if (const auto misaligned = reinterpret_cast<std::uintptr_t>(m->data) & align) m->data += align + 1 - misaligned;
    if (prefix && (flags & GST_MEMORY_FLAG_ZERO_PREFIXED)) std::memset(m->data, 0, prefix);
    if (padding && (flags & GST_MEMORY_FLAG_ZERO_PADDED)) std::memset(m->data + prefix + size, 0, padding);
    gst_memory_init(&m->mem, flags, allocator, nullptr, maxsize, align, prefix, size);
    return m;
}

GstMemory* Alloc(GstAllocator* allocator, gsize size, GstAllocationParams* params)
{
    return &NewBlock(allocator, params->flags, size, params->align, params->prefix, params->padding)->mem;
}

void Free(GstAllocator*, GstMemory* mem)
{
    auto* m = reinterpret_cast<PictureMemory*>(mem);
    if (m->shown) gst_buffer_unref(m->shown);
    g_free(m->block);
    delete m;
}

gpointer Map(GstMemory* mem, GstMapInfo* info, gsize)
{
    if (info->flags & GST_MAP_WRITE) reinterpret_cast<PictureMemory*>(mem)->writers.fetch_add(1);
    return reinterpret_cast<PictureMemory*>(mem)->data;
}

void Unmap(GstMemory* mem, GstMapInfo* info)
{
    if (info->flags & GST_MAP_WRITE) reinterpret_cast<PictureMemory*>(mem)->writers.fetch_sub(1);
}

GstMemory* CopyBytes(GstMemory* mem, gssize offset, gssize size)
{
    const gsize length = size < 0 ? mem->size - static_cast<gsize>(offset) : static_cast<gsize>(size);
    PictureMemory* copy = NewBlock(mem->allocator, GstMemoryFlags(0), length, mem->align, 0, 0);
    std::memcpy(copy->data, reinterpret_cast<PictureMemory*>(mem)->data + mem->offset + offset, length);
    return &copy->mem;
}

// The whole of a pool buffer's memory, mapped for writing, is the decoder's reference
// picture being handed on: it is viewed, and the view keeps the pool's buffer from being
// decoded into again until the view goes. Any other copy is a copy.
GstMemory* Copy(GstMemory* mem, gssize offset, gssize size)
{
    auto* m = reinterpret_cast<PictureMemory*>(mem);
    const bool whole = offset == 0 && (size < 0 || static_cast<gsize>(size) == mem->size);
    if (!m->owner || m->writers.load() == 0 || !whole) return CopyBytes(mem, offset, size);
    auto* v = new PictureMemory;
    v->data = m->data;
    v->shown = gst_buffer_ref(m->owner);
    gst_memory_init(&v->mem, static_cast<GstMemoryFlags>(GST_MINI_OBJECT_FLAG_LOCK_READONLY), mem->allocator, nullptr,
                    mem->maxsize, mem->align, mem->offset, mem->size);
    return &v->mem;
}

// Sharing would leave the pool free to decode into the shared bytes; nothing on the way
// to the windows shares pictures, so a share is a copy.
GstMemory* Share(GstMemory* mem, gssize offset, gssize size) { return CopyBytes(mem, offset, size); }

gboolean IsSpan(GstMemory*, GstMemory*, gsize*) { return FALSE; }

G_DEFINE_TYPE(PictureAllocatorObject, picture_allocator_object, GST_TYPE_ALLOCATOR)

void picture_allocator_object_class_init(PictureAllocatorObjectClass* klass)
{
    klass->parent_class.alloc = &Alloc;
    klass->parent_class.free = &Free;
}

void picture_allocator_object_init(PictureAllocatorObject* self)
{
    GstAllocator* a = &self->parent;
    a->mem_type = kMemoryType;
    a->mem_map_full = &Map;
    a->mem_unmap_full = &Unmap;
    a->mem_copy = &Copy;
    a->mem_share = &Share;
    a->mem_is_span = &IsSpan;
    GST_OBJECT_FLAG_SET(a, GST_ALLOCATOR_FLAG_CUSTOM_ALLOC);
}

struct PicturePoolObject {
    GstVideoBufferPool parent;
};
struct PicturePoolObjectClass {
    GstVideoBufferPoolClass parent_class;
};

G_DEFINE_TYPE(PicturePoolObject, picture_pool_object, GST_TYPE_VIDEO_BUFFER_POOL)

gboolean SetConfig(GstBufferPool* pool, GstStructure* config)
{
    GstAllocator* allocator = nullptr;
    GstAllocationParams params;
    if (gst_buffer_pool_config_get_allocator(config, &allocator, &params) && !allocator)
        gst_buffer_pool_config_set_allocator(config, PictureAllocator(), &params);
    return GST_BUFFER_POOL_CLASS(picture_pool_object_parent_class)->set_config(pool, config);
}

void ForgetOwner(gpointer memory, GstMiniObject*) { static_cast<PictureMemory*>(memory)->owner = nullptr; }

// Each block knows the pool's buffer that holds it, for as long as that buffer lives.
GstFlowReturn AllocBuffer(GstBufferPool* pool, GstBuffer** buffer, GstBufferPoolAcquireParams* params)
{
    const GstFlowReturn r = GST_BUFFER_POOL_CLASS(picture_pool_object_parent_class)->alloc_buffer(pool, buffer, params);
    if (r != GST_FLOW_OK) return r;
    for (guint i = 0; i < gst_buffer_n_memory(*buffer); ++i) {
        GstMemory* mem = gst_buffer_peek_memory(*buffer, i);
        if (mem->allocator != PictureAllocator()) continue;
        reinterpret_cast<PictureMemory*>(mem)->owner = *buffer;
        gst_mini_object_weak_ref(GST_MINI_OBJECT(*buffer), &ForgetOwner, mem);
    }
    return r;
}

void picture_pool_object_class_init(PicturePoolObjectClass* klass)
{
    klass->parent_class.parent_class.set_config = &SetConfig;
    klass->parent_class.parent_class.alloc_buffer = &AllocBuffer;
}

void picture_pool_object_init(PicturePoolObject*) {}

}  // namespace

GstBufferPool* NewPicturePool()
{
    auto* pool = GST_BUFFER_POOL(g_object_new(picture_pool_object_get_type(), nullptr));
    gst_object_ref_sink(pool);
    return pool;
}

GstAllocator* PictureAllocator()
{
    static GstAllocator* const allocator = [] {
        auto* a = GST_ALLOCATOR(g_object_new(picture_allocator_object_get_type(), nullptr));
        gst_object_ref_sink(a);
        return a;
    }();
    return allocator;
}
