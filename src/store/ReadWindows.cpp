#include "store/ReadWindows.h"

#include "platform/LargeBuffer.h"
#include "store/DataFormat.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

using namespace nota;

namespace {
std::atomic<unsigned> g_nAllowance{CReadWindows::kAllowance};
} // namespace

unsigned CReadWindows::SetAllowance(unsigned allowance) noexcept {
    return g_nAllowance.exchange(allowance);
}

std::uint64_t CReadWindows::Start(std::uint64_t index) {
    return HEADER_SIZE + (index << kWindowShift);
}

void CReadWindows::FreeSlab::operator()(BYTE* p) const noexcept {
    std::free(p);
}

BYTE* CReadWindows::BufferFor(std::size_t slot) {
    if (slot < kSmall) {
        if (!m_small[slot])
            m_small[slot] = std::make_unique_for_overwrite<BYTE[]>(kWindowSize);
        return m_small[slot].get();
    }
    if (!m_slab) {
        constexpr std::size_t kHuge = std::size_t{2} << 20;
        constexpr std::size_t kBytes = (kWindows * kStride + kHuge - 1) / kHuge * kHuge;
        static_assert(kBytes >= membuf::kLargeBuffer);
        void* memory = std::aligned_alloc(kHuge, kBytes);
        if (!memory)
            throw std::bad_alloc();
        m_slab.reset(static_cast<BYTE*>(memory));
        membuf::AdviseLargeBuffer(memory, kBytes);
    }
    return m_slab.get() + slot * kStride;
}

CReadWindows::Window* CReadWindows::Find(std::uint64_t index) {
    if (m_nLastSlot < m_windows.size() && m_windows[m_nLastSlot].index == index)
        return &m_windows[m_nLastSlot];
    if (index >= m_slotOf.size() || m_slotOf[index] == 0)
        return nullptr;
    m_nLastSlot = m_slotOf[index] - 1;
    return &m_windows[m_nLastSlot];
}

// A buffer for window `index` (not loaded): a new one while there are fewer than the
// capacity, else the least recently used (a forgotten one first). Marked as just used, so that
// the next claim takes another.
CReadWindows::Window& CReadWindows::Claim(std::uint64_t index) {
    std::size_t slot = 0;
    for (std::size_t i = 1; i < m_windows.size(); ++i)
        if (m_windows[i].lastUse < m_windows[slot].lastUse)
            slot = i;
    if (m_windows.size() < m_nCapacity && (m_windows.empty() || m_windows[slot].lastUse != 0)) {
        slot = m_windows.size();
        m_windows.emplace_back();
        m_windows.back().bytes = BufferFor(slot);
    } else if (m_windows[slot].index < m_slotOf.size()) {
        m_slotOf[m_windows[slot].index] = 0;
        --m_nLoaded;
    }
    Window& w = m_windows[slot];
    w.index = index;
    w.valid = 0; // a failed read leaves it empty
    w.lastUse = ++m_nClock;
    if (index >= m_slotOf.size())
        m_slotOf.resize(static_cast<std::size_t>(index) + 1, 0);
    m_slotOf[index] = static_cast<std::uint32_t>(slot + 1);
    ++m_nLoaded;
    return w;
}

CReadWindows::Window& CReadWindows::Load(CFile& file, std::uint64_t index) {
    // Slots, not pointers: a claim may move the windows.
    std::size_t batch[1 + kAhead];
    std::size_t n = 0;
    Window* w = Find(index);
    if (w == nullptr)
        w = &Claim(index);
    w->valid = 0;
    w->lastUse = ++m_nClock; // not taken for a window read ahead
    batch[n++] = static_cast<std::size_t>(w - m_windows.data());
    m_nInOrder = index == m_nNextIndex ? m_nInOrder + 1 : 0;
    if (m_nInOrder >= 2 && m_nCapacity >= 16)
        for (; n < 1 + kAhead && Find(index + n) == nullptr; ++n)
            batch[n] = static_cast<std::size_t>(&Claim(index + n) - m_windows.data());
    BYTE* buffers[1 + kAhead];
    for (std::size_t i = 0; i < n; ++i)
        buffers[i] = m_windows[batch[i]].bytes;
    m_nLoads += n;
    m_nEpochLoads += static_cast<unsigned>(n);
    ++m_nFileReads;
    m_nNextIndex = index + n;
    // A failed read leaves the batch empty (Serve then finds the first one short).
    std::size_t got = file.ReadScatter(Start(index), buffers, n, kWindowSize);
    for (std::size_t i = 0; i < n; ++i) {
        Window& ahead = m_windows[batch[i]];
        ahead.valid = std::min(got, kWindowSize);
        got -= ahead.valid;
        if (i > 0 && ahead.valid == 0) { // past the file's end: not loaded after all
            m_slotOf[ahead.index] = 0;
            ahead.index = UINT64_MAX;
            ahead.lastUse = 0;
            --m_nLoaded;
            --m_nLoads;
        }
    }
    m_nLastSlot = batch[0];
    return m_windows[batch[0]];
}

void CReadWindows::CountRead(unsigned reads) noexcept {
    m_nEpochReads += reads;
    if (m_nEpochReads >= kEpoch)
        m_nEpochReads = m_nEpochLoads = 0;
}

CReadWindows::Window* CReadWindows::Serve(CFile& file, std::uint64_t index, std::size_t end,
                                          bool mayDecline) {
    Window* w = Find(index);
    if (w == nullptr || w->valid < end) {
        // Not loaded, or loaded while the file was shorter than it is now.
        if (w == nullptr && mayDecline &&
            m_nEpochLoads >= g_nAllowance.load(std::memory_order_relaxed))
            return nullptr;
        w = &Load(file, index);
        if (w->valid < end) // within the length the caller knows, yet not in the file
            throw CFileException(CFileException::endOfFile, file.GetFilePath());
    }
    w->lastUse = ++m_nClock;
    return w;
}

const BYTE* CReadWindows::Peek(CFile& file, std::uint64_t offset, std::size_t count,
                               bool mayDecline) {
    CountRead(static_cast<unsigned>(std::max<std::size_t>(count / BLOCK_SIZE, 1)));
    const std::uint64_t index = (offset - HEADER_SIZE) >> kWindowShift;
    const std::size_t at = static_cast<std::size_t>(offset - Start(index));
    Window* w = Serve(file, index, at + count, mayDecline);
    return w ? w->bytes + at : nullptr;
}

bool CReadWindows::Read(CFile& file, std::uint64_t offset, BYTE* out, std::size_t count,
                        bool mayDecline) {
    CountRead(1);
    while (count > 0) {
        const std::uint64_t index = (offset - HEADER_SIZE) >> kWindowShift;
        const std::size_t at = static_cast<std::size_t>(offset - Start(index));
        const std::size_t n = std::min(count, kWindowSize - at);
        Window* w = Serve(file, index, at + n, mayDecline);
        if (w == nullptr)
            return false;
        std::memcpy(out, w->bytes + at, n);
        out += n;
        offset += n;
        count -= n;
        mayDecline = false; // part of the bytes are copied: the rest come from here too
    }
    return true;
}

void CReadWindows::Update(std::uint64_t offset, const BYTE* in, std::size_t count) noexcept {
    const std::uint64_t end = offset + count;
    if (m_nLoaded == 0 || end <= HEADER_SIZE)
        return;
    const std::uint64_t from = std::max<std::uint64_t>(offset, HEADER_SIZE);
    auto update = [&](std::uint64_t index, Window& w) {
        const std::uint64_t a = std::max(from, Start(index));
        const std::uint64_t b = std::min<std::uint64_t>(end, Start(index) + w.valid);
        if (a < b)
            std::memcpy(w.bytes + (a - Start(index)), in + (a - offset),
                        static_cast<std::size_t>(b - a));
    };
    const std::uint64_t first = (from - HEADER_SIZE) >> kWindowShift;
    const std::uint64_t last = (end - 1 - HEADER_SIZE) >> kWindowShift;
    if (last - first >= m_windows.size()) { // a large write: look at the loaded windows
        for (Window& w : m_windows)
            if (w.index >= first && w.index <= last)
                update(w.index, w);
        return;
    }
    for (std::uint64_t index = first; index <= last && index < m_slotOf.size(); ++index)
        if (m_slotOf[index] != 0)
            update(index, m_windows[m_slotOf[index] - 1]);
}

void CReadWindows::SetCapacity(std::size_t n) noexcept {
    Invalidate();
    m_nCapacity = std::max<std::size_t>(n, 1);
    if (m_windows.size() > m_nCapacity)
        m_windows.resize(m_nCapacity);
}

void CReadWindows::Invalidate() noexcept {
    // The buffers stay for the next walk; only what they hold is forgotten.
    for (Window& w : m_windows) {
        if (w.index < m_slotOf.size())
            m_slotOf[w.index] = 0;
        w.index = UINT64_MAX;
        w.valid = 0;
        w.lastUse = 0;
    }
    m_nLastSlot = SIZE_MAX;
    m_nLoads = 0;
    m_nFileReads = 0;
    m_nNextIndex = UINT64_MAX;
    m_nInOrder = 0;
    m_nLoaded = 0;
}
