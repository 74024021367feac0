#include "platform/TreeArena.h"

#include <cstring>
#include <new>
#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define NOTA_ARENA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NOTA_ARENA_ASAN 1
#endif
#endif
#ifdef NOTA_ARENA_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace treearena {

namespace {

constexpr std::size_t kSmallStep = 64u << 10;
constexpr std::size_t kHugeBytes = 2u << 20;

// Address space only: PROT_NONE memory is not charged against the system's commit limit, so a
// large reservation costs nothing until it is committed.
std::byte* Reserve(std::size_t& bytes) {
    for (; bytes >= kHugeBytes; bytes /= 2) {
        void* p = ::mmap(nullptr, bytes + kHugeBytes, PROT_NONE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED)
            continue;
        // Start on a 2 MiB boundary, so that the large steps can be huge pages.
        auto start = reinterpret_cast<std::uintptr_t>(p);
        auto aligned = (start + kHugeBytes - 1) & ~(std::uintptr_t(kHugeBytes) - 1);
        if (aligned > start)
            ::munmap(p, aligned - start);
        ::munmap(reinterpret_cast<void*>(aligned + bytes), start + kHugeBytes - aligned);
        return reinterpret_cast<std::byte*>(aligned);
    }
    bytes = 0;
    return nullptr;
}

} // namespace

CRegion::CRegion(std::size_t maxBytes) : m_reserved(maxBytes) {
    m_base = Reserve(m_reserved);
}

CRegion::~CRegion() {
    if (m_base == nullptr)
        return;
#ifdef NOTA_ARENA_ASAN
    ASAN_UNPOISON_MEMORY_REGION(m_base, m_committed); // the addresses may be mapped again
#endif
    ::munmap(m_base, m_reserved);
}

void CRegion::Commit(std::size_t bytes) {
    if (bytes <= m_committed)
        return;
    // Four small steps keep small trees small; then whole huge pages.
    std::size_t step = m_committed < 4 * kSmallStep ? kSmallStep : kHugeBytes;
    std::size_t target = (bytes + step - 1) / step * step;
    if (target > m_reserved || m_base == nullptr)
        throw std::bad_alloc();
    if (::mprotect(m_base + m_committed, target - m_committed, PROT_READ | PROT_WRITE) != 0)
        throw std::bad_alloc();
    if (step == kHugeBytes)
        ::madvise(m_base + m_committed, target - m_committed, MADV_HUGEPAGE);
    m_committed = target;
}

#ifdef NOTA_ARENA_ASAN
constexpr std::size_t kRecordAlign = 8; // whole shadow granules, so a freed record is all poisoned
#else
constexpr std::size_t kRecordAlign = 4;
#endif

CRecords::CRecords(std::size_t recordBytes)
    : m_recordBytes((recordBytes + kRecordAlign - 1) / kRecordAlign * kRecordAlign),
      m_region(std::size_t(16) << 30) {}

void* CRecords::New() {
#ifndef NOTA_ARENA_ASAN
    if (m_freeList != kNone) {
        void* p = At(m_freeList);
        std::memcpy(&m_freeList, p, sizeof m_freeList);
        std::memset(p, 0, m_recordBytes);
        return p;
    }
#endif
    if (m_used == kNone)
        throw std::bad_alloc();
    m_region.Commit((std::size_t(m_used) + 1) * m_recordBytes);
    return At(m_used++); // fresh memory reads as zeros
}

void CRecords::Delete(void* p) {
#ifdef NOTA_ARENA_ASAN
    ASAN_POISON_MEMORY_REGION(p, m_recordBytes);
#else
    std::memcpy(p, &m_freeList, sizeof m_freeList);
    m_freeList = IdOf(p);
#endif
}

CBytes::CBytes() : m_region(std::size_t(4) << 30) {}

std::uint32_t CBytes::Store(std::string_view bytes) {
    if (bytes.size() > (std::size_t(4) << 30) - m_used)
        throw std::bad_alloc();
    m_region.Commit(m_used + bytes.size());
    auto offset = static_cast<std::uint32_t>(m_used);
    if (!bytes.empty())
        std::memcpy(At(offset), bytes.data(), bytes.size());
    m_used += bytes.size();
    return offset;
}

} // namespace treearena
