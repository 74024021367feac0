#pragma once
// The memory behind CTreeCtrl: fixed-size records (the items) and title bytes, both carved from
// large chunks, so that a tree of a million items costs a few hundred allocations, and dropping
// the tree gives every chunk back without visiting an item.
//
// Neither arena runs destructors: what lives in them must be trivially destructible.

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace treearena {

// Records of one size. Freed records are reused (most recently freed first). Chunks grow to
// 2 MiB, which the system may back with huge pages. Throws std::bad_alloc when the system
// has no memory left.
class CRecords {
public:
    explicit CRecords(std::size_t recordBytes);
    ~CRecords();
    CRecords(const CRecords&) = delete;
    CRecords& operator=(const CRecords&) = delete;

    // Zero-filled, aligned to 8 bytes (records of pointers and integers).
    void* New();
    // p: from New of this arena, not freed since.
    void Delete(void* p);

private:
    struct Chunk {
        void* memory;
        std::size_t bytes;
    };
    std::size_t m_recordBytes;
    std::vector<Chunk> m_chunks;
    std::size_t m_capacity = 0; // records in the newest chunk
    std::size_t m_used = 0;
    void* m_freeList = nullptr;
};

// Title bytes, appended one after another. A stored copy never moves and stays valid until the
// arena is dropped; there is no freeing of single titles (a tree replaces a title rarely, and a
// cleared tree drops the whole arena). Throws std::bad_alloc when the system has no memory left.
class CBytes {
public:
    CBytes() = default;
    CBytes(const CBytes&) = delete;
    CBytes& operator=(const CBytes&) = delete;

    // A copy of bytes in the arena (a pointer that is not null even for no bytes).
    const char* Store(std::string_view bytes);
    // Bytes held, for figures.
    std::size_t Size() const;

private:
    static constexpr std::size_t kChunk = 1u << 20;
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t size;
    };
    std::vector<Chunk> m_chunks;
    std::size_t m_used = 0; // in the newest chunk
    std::size_t m_total = 0;
};

} // namespace treearena
