#pragma once
// A read-only view of an open file's bytes in memory (a shared mapping), for work that follows
// chains all over a file: reading a block is a copy, not a system call. Positional writes to
// the same file show in the view at once (Linux keeps both in one page cache), so the view
// stays valid while the file is written through its handle.
//
// The file may shrink under the view (another process truncating it despite the lock):
// touching a page past the new end raises SIGBUS. Copy catches that signal for the bytes it
// copies and reports false instead; nothing else ever touches the view. The handler is the
// process's SIGBUS handler from the first mapping on; a SIGBUS that is not one of these copies
// goes on to the handler that was there before (or ends the process, as it would have).
//
// Memory: the view's pages are the page cache's, not the process's own, but those the process
// has touched count in its resident size. Once the copies have touched the view's budget
// (kResidentBudget unless set, in 64 KiB units, the pages a fault brings in: the view starts
// on such a boundary), the view gives its pages back (MADV_DONTNEED; the page cache keeps
// them) and counts again. The budget must hold what a walk comes back to: a walk along chains
// that jump all over the file touches a unit for each block of a chain, and a budget smaller
// than that maps every block anew.

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CFileMap {
public:
    static constexpr std::size_t kUnitShift = 16; // 64 KiB: what one page fault maps
    // Large enough that a walk whose chains jump all over a file of hundreds of megabytes does
    // not give back pages it is about to touch again (with a small budget such a walk maps
    // every block anew); the pages are the page cache's, which the system may reclaim anyway.
    static constexpr std::size_t kResidentBudget = std::size_t{64} << 20;

    CFileMap() = default;
    ~CFileMap() { Unmap(); }
    CFileMap(const CFileMap&) = delete;
    CFileMap& operator=(const CFileMap&) = delete;

    // Maps the first `length` bytes of the file open (readable) as fd, replacing an earlier
    // view. False when the system refuses (a handle opened for writing only, a file system
    // without mappings, length 0): the view is empty then and the caller reads otherwise.
    bool Map(int fd, std::uint64_t length) noexcept;
    void Unmap() noexcept;
    bool IsMapped() const { return m_pBase != nullptr; }
    // Bytes the view covers (0 without a view).
    std::uint64_t Length() const { return m_nLength; }

    // Copies count bytes from offset; offset + count must not exceed Length(). False when the
    // file no longer has those bytes (it shrank under the view); out may then hold a part.
    bool Copy(std::uint64_t offset, void* out, std::size_t count) noexcept;

    // Views are on by default. Off, every Map refuses, as a system without mappings would
    // (for tests of the readers' other path). Returns the previous setting.
    static bool SetEnabled(bool bEnabled) noexcept;

    // The budget of this view (kResidentBudget unless set; at least one unit).
    void SetResidentBudget(std::size_t bytes) noexcept {
        m_nBudgetUnits = bytes >> kUnitShift ? bytes >> kUnitShift : 1;
    }

    // 64 KiB units touched since the view last gave its pages back (for tests).
    std::size_t TouchedUnits() const { return m_nTouched; }

private:
    const BYTE* m_pBase = nullptr;
    std::uint64_t m_nLength = 0;
    std::vector<std::uint64_t> m_touched; // one bit per 64 KiB unit
    std::size_t m_nTouched = 0;
    std::size_t m_nBudgetUnits = kResidentBudget >> kUnitShift;

    void Touch(std::uint64_t offset, std::size_t count) noexcept;
    void GiveBackPages() noexcept;
};
