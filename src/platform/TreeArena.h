#pragma once
// The memory behind CTreeCtrl: fixed-size records (the items) and title bytes, each in one
// contiguous range of address space that is reserved up front and backed as it fills. So a
// tree of a million items costs a few dozen system calls and no allocation per item, a record
// or a title is named by a 32-bit number instead of a pointer, nothing ever moves, and dropping
// the tree gives everything back without visiting an item.
//
// Neither arena runs destructors: what lives in them must be trivially destructible.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace treearena {

// A range of address space, reserved without memory and backed from its start as it is used:
// small steps first, then 2 MiB steps the system may back with huge pages.
class CRegion {
public:
    // Reserves up to maxBytes (less where the system will not give that much address space).
    explicit CRegion(std::size_t maxBytes);
    ~CRegion();
    CRegion(const CRegion&) = delete;
    CRegion& operator=(const CRegion&) = delete;

    std::byte* Base() const { return m_base; }
    // Makes the first `bytes` usable (zero-filled where new). Throws std::bad_alloc when the
    // reservation is too small or the system has no memory left.
    void Commit(std::size_t bytes);
    std::size_t Committed() const { return m_committed; }

private:
    std::byte* m_base = nullptr;
    std::size_t m_reserved = 0;
    std::size_t m_committed = 0;
};

// Records of one size, numbered from 0 in the order they were first handed out. Freed records
// are reused, most recently freed first (under the address sanitizer they are poisoned and never
// reused, so that a stale pointer to one is caught). Throws std::bad_alloc when no memory is left.
class CRecords {
public:
    explicit CRecords(std::size_t recordBytes);
    CRecords(const CRecords&) = delete;
    CRecords& operator=(const CRecords&) = delete;

    // Zero-filled, aligned to 4 bytes (records of 32-bit and 16-bit fields).
    void* New();
    // p: from New of this arena, not freed since.
    void Delete(void* p);

    std::uint32_t IdOf(const void* p) const {
        return static_cast<std::uint32_t>((static_cast<const std::byte*>(p) - m_region.Base()) /
                                          m_recordBytes);
    }
    void* At(std::uint32_t id) const { return m_region.Base() + std::size_t(id) * m_recordBytes; }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    std::size_t m_recordBytes;
    CRegion m_region;
    std::uint32_t m_used = 0; // records handed out at least once
    std::uint32_t m_freeList = kNone;
};

// Title bytes, appended one after another and named by their offset. A stored copy never moves
// and stays valid until the arena is dropped; single titles are not freed (a tree replaces a
// title rarely, and a cleared tree drops the whole arena). Throws std::bad_alloc when no memory
// is left or the bytes would pass 4 GiB.
class CBytes {
public:
    CBytes();
    CBytes(const CBytes&) = delete;
    CBytes& operator=(const CBytes&) = delete;

    // A copy of bytes in the arena; its offset.
    std::uint32_t Store(std::string_view bytes);
    char* At(std::uint32_t offset) const {
        return reinterpret_cast<char*>(m_region.Base()) + offset;
    }
    // Bytes held, for figures.
    std::size_t Size() const { return m_used; }

private:
    CRegion m_region;
    std::size_t m_used = 0;
};

} // namespace treearena
