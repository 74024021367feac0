#include "platform/TreeArena.h"

#include <cstring>
#include <new>
#include <sys/mman.h>

namespace treearena {

namespace {
constexpr std::size_t kSmallChunk = 64u << 10;
constexpr std::size_t kHugeBytes = 2u << 20;
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
        // Small trees stay small; from the fifth chunk on, chunks are huge-page sized.
        bool huge = m_chunks.size() >= 4;
        std::size_t bytes = huge ? kHugeBytes : kSmallChunk;
        void* memory =
            ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            throw std::bad_alloc();
        if (huge)
            ::madvise(memory, bytes, MADV_HUGEPAGE);
        m_chunks.push_back({memory, bytes});
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

const char* CBytes::Store(std::string_view bytes) {
    const std::size_t n = bytes.size();
    if (m_chunks.empty() || m_chunks.back().size - m_used < n) {
        std::size_t size = n > kChunk / 8 ? n : kChunk;
        m_chunks.push_back({std::unique_ptr<char[]>(new char[size == 0 ? 1 : size]), size});
        m_used = 0;
        m_total += size;
    }
    char* p = m_chunks.back().bytes.get() + m_used;
    if (n > 0)
        std::memcpy(p, bytes.data(), n);
    m_used += n;
    return p;
}

std::size_t CBytes::Size() const {
    return m_total;
}

} // namespace treearena
