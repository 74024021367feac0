#include "platform/TreeArena.h"

#include <cstring>
#include <new>
#include <sys/mman.h>

namespace treearena {

namespace {
constexpr std::size_t kSmallChunk = 64u << 10;
constexpr std::size_t kHugeBytes = 2u << 20;

// The size of an arena's next chunk when it has `chunks`: small trees stay small; from the fifth
// chunk on, chunks are huge-page sized, so that a large tree costs a page fault per 2 MiB.
std::size_t NextChunkBytes(std::size_t chunks) {
    return chunks >= 4 ? kHugeBytes : kSmallChunk;
}

// Fresh memory from the system (zero-filled); huge-page sized chunks are offered huge pages.
void* MapChunk(std::size_t bytes) {
    void* memory =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    if (bytes >= kHugeBytes)
        ::madvise(memory, bytes, MADV_HUGEPAGE);
    return memory;
}
} // namespace

CRecords::CRecords(std::size_t recordBytes) : m_recordBytes((recordBytes + 7) / 8 * 8) {}

CRecords::~CRecords() {
    for (const Chunk& c : m_chunks)
        ::munmap(c.memory, c.bytes);
}

void* CRecords::New() {
    if (m_freeList) {
        void* p = m_freeList;
        m_freeList = *static_cast<void**>(p);
        std::memset(p, 0, m_recordBytes);
        return p;
    }
    if (m_used == m_capacity) {
        const std::size_t bytes = NextChunkBytes(m_chunks.size());
        m_chunks.reserve(m_chunks.size() + 1);
        m_chunks.push_back({MapChunk(bytes), bytes});
        m_capacity = bytes / m_recordBytes;
        m_used = 0;
    }
    // Fresh anonymous memory reads as zeros.
    return static_cast<std::byte*>(m_chunks.back().memory) + m_used++ * m_recordBytes;
}

void CRecords::Delete(void* p) {
    *static_cast<void**>(p) = m_freeList;
    m_freeList = p;
}

CBytes::~CBytes() {
    for (const Chunk& c : m_chunks)
        ::munmap(c.bytes, c.size);
}

const char* CBytes::Store(std::string_view bytes) {
    const std::size_t n = bytes.size();
    if (m_chunks.empty() || m_chunks.back().size - m_used < n) {
        std::size_t size = NextChunkBytes(m_chunks.size());
        if (n > size / 8)
            size = (n + kSmallChunk - 1) / kSmallChunk * kSmallChunk; // a title of its own
        m_chunks.reserve(m_chunks.size() + 1);
        m_chunks.push_back({static_cast<char*>(MapChunk(size)), size});
        m_used = 0;
        m_total += size;
    }
    char* p = m_chunks.back().bytes + m_used;
    if (n > 0)
        std::memcpy(p, bytes.data(), n);
    m_used += n;
    return p;
}

std::size_t CBytes::Size() const {
    return m_total;
}

} // namespace treearena
