#pragma once
// The data file's bytes in windows of 64 KiB on the block grid (from offset 32), each read
// with one positional read and kept, up to kWindows of them (the least recently used goes),
// for the block reads that come back to them: a walk along chains laid out in consecutive
// blocks, or interleaved with a few others, reads each window once.
//
// A walk that loads windows one after another (the third in a row and on) reads the next
// kAhead windows with the one it needs, in one system call, when they are not loaded yet and
// there is room for at least 16 windows: a pass over the whole file then costs a quarter of
// the calls.
//
// A walk that jumps all over a large file would load a window for nearly every block. Once
// a stretch of kEpoch reads has loaded kAllowance windows, Read declines further loads until
// the stretch ends (when the caller has another way to the bytes: the file's view in memory).
//
// The windows hold the disk's bytes. Whoever writes the file through its handle calls
// Update (or Invalidate) so that they stay true.

#include "platform/File.h"
#include "platform/Types.h"

#include <cstdint>
#include <memory>
#include <vector>

class CReadWindows {
public:
    static constexpr std::size_t kWindowShift = 16;
    static constexpr std::size_t kWindowSize = std::size_t{1} << kWindowShift;
    static constexpr std::size_t kWindows = 64; // 4 MiB
    static constexpr unsigned kEpoch = 4096;    // reads per stretch
    static constexpr unsigned kAllowance = 64;  // window loads per stretch before declining
    static constexpr std::size_t kAhead = 3;    // windows read ahead by a walk in order

    // Copies count bytes (count <= 512, offset >= 32) from offset, all within the file's
    // length as its holder knows it. Returns false, having read nothing, when it declines to
    // load a window (only when mayDecline). Throws CFileException (end of file) when the file
    // turns out shorter (another program cut it), and the file's own exceptions when a read
    // fails.
    bool Read(CFile& file, std::uint64_t offset, BYTE* out, std::size_t count, bool mayDecline);

    // As Read, for count bytes that lie in one window: a pointer to them in the window,
    // valid until the next call on this object; null when it declines. Counts as a read of
    // each block of 512 bytes it spans (for the allowance).
    const BYTE* Peek(CFile& file, std::uint64_t offset, std::size_t count, bool mayDecline);

    // Bytes written to the file at offset: loaded windows take them over.
    void Update(std::uint64_t offset, const BYTE* in, std::size_t count) noexcept;
    void Invalidate() noexcept;

    // At most n windows from now on (kWindows unless set; at least 1). Forgets them all.
    void SetCapacity(std::size_t n) noexcept;

    // Window loads per stretch before Read declines (kAllowance unless set; 0 declines every
    // load that may be declined: the reads go to the view, for tests of that path). Returns
    // the previous setting.
    static unsigned SetAllowance(unsigned allowance) noexcept;

    // Windows loaded, and reads of the file that loaded them, since the last Invalidate
    // (for tests).
    std::size_t Loads() const { return m_nLoads; }
    std::size_t FileReads() const { return m_nFileReads; }

private:
    struct Window {
        std::uint64_t index = UINT64_MAX;
        std::size_t valid = 0; // bytes read into it
        std::uint64_t lastUse = 0;
        BYTE* bytes = nullptr;
    };
    struct FreeSlab {
        void operator()(BYTE* p) const noexcept;
    };
    // The buffers: the first kSmall windows have their own (a reader of a few texts, a pass
    // that reads once); a walk that needs more gets the others in one block that asks for
    // huge pages, since a first touch per 4 KiB page (a thousand of them) costs more than
    // the walk's reads on some machines.
    static constexpr std::size_t kSmall = 2;
    // Buffers one after another in the block, each a little past the last 4 KiB boundary:
    // a copy from the page cache into a buffer whose address matches its source's in the low
    // 12 bits runs at half speed on some processors.
    static constexpr std::size_t kStride = kWindowSize + 1088;
    std::unique_ptr<BYTE[]> m_small[kSmall];
    std::unique_ptr<BYTE[], FreeSlab> m_slab; // kWindows windows' room; the first kSmall unused
    std::vector<Window> m_windows;
    std::size_t m_nCapacity = kWindows;
    // Window index -> its slot in m_windows + 1 (0: not loaded); grows with the indexes used.
    std::vector<std::uint32_t> m_slotOf;
    std::size_t m_nLoaded = 0; // windows loaded and not forgotten
    std::uint64_t m_nClock = 0;
    unsigned m_nEpochReads = 0;
    unsigned m_nEpochLoads = 0;
    std::size_t m_nLoads = 0;
    std::size_t m_nFileReads = 0;
    // The window after the last one loaded, and how many loads in a row came in that order.
    std::uint64_t m_nNextIndex = UINT64_MAX;
    unsigned m_nInOrder = 0;
    std::size_t m_nLastSlot = SIZE_MAX; // the window of the last read (most reads stay in it)

    static std::uint64_t Start(std::uint64_t index);
    Window* Find(std::uint64_t index);
    Window& Load(CFile& file, std::uint64_t index);
    Window& Claim(std::uint64_t index);
    BYTE* BufferFor(std::size_t slot);
    void CountRead(unsigned reads) noexcept;
    // The window holding bytes up to `end` of window `index`, loaded if need be; null when it
    // declines to load (only when mayDecline).
    Window* Serve(CFile& file, std::uint64_t index, std::size_t end, bool mayDecline);
};
