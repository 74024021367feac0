// CPager: the operation's pages and the file's bytes as the operation sees them. The other
// parts of the pager build on these: PagerJournal.cpp (its journal file), PagerOperation.cpp
// (opening, the operation's state, writing) and PagerCommit.cpp (the end of an operation).
#include "store/Pager.h"
#include "platform/LargeBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

using namespace nota;

namespace {
// The first chunk of pages is small and stays for the next operation; a large operation (a
// paste of 100 MB changes 200,000 blocks) goes on in chunks of 4 MiB on 2 MiB boundaries,
// which ask for huge pages before they are touched, since a page fault per 4 KiB would cost
// more than the copying.
constexpr std::size_t kHuge = std::size_t{2} << 20;
constexpr std::size_t kLargeChunk = 2 * kHuge;

std::size_t ChunkPages(std::size_t chunk, std::size_t pageBytes) {
    return chunk == 0 ? 256 : kLargeChunk / pageBytes;
}
} // namespace

void CPager::FreeChunk::operator()(void* p) const noexcept {
    std::free(p);
}

void CPager::ThrowCorrupt() const {
    throw CFileException(CFileException::endOfFile, Path());
}

// ---- pages ---------------------------------------------------------------------------------

CPager::Page& CPager::PageAt(DWORD offset) {
    auto it = m_op.pages.find(offset);
    if (it != m_op.pages.end())
        return *it->second;
    Page& page = NewPage();
    m_op.pages.emplace(offset, &page);
    page.nOriginal = 0;
    page.bDiffers = false;
    page.bWasFree = page.bFreeWrite = false;
    if (offset < m_op.committedLength) {
        auto n = std::min<std::uint64_t>(BLOCK_SIZE, m_op.committedLength - offset);
        ReadDisk(offset, page.now.data(), BLOCK_SIZE);
        page.nOriginal = static_cast<WORD>(n);
    } else {
        page.now.fill(0);
    }
    return page;
}

const CPager::Page* CPager::FindPage(DWORD offset) const {
    auto it = m_op.pages.find(offset);
    return it == m_op.pages.end() ? nullptr : it->second;
}

CPager::Page* CPager::FindPage(DWORD offset) {
    auto it = m_op.pages.find(offset);
    return it == m_op.pages.end() ? nullptr : it->second;
}

CPager::Page& CPager::NewPage() {
    auto& op = m_op;
    if (!op.spare.empty()) {
        Page* page = op.spare.back();
        op.spare.pop_back();
        return *page;
    }
    if (op.chunk < op.chunks.size() && op.chunkUsed == ChunkPages(op.chunk, sizeof(Page))) {
        ++op.chunk;
        op.chunkUsed = 0;
    }
    if (op.chunk == op.chunks.size()) {
        const bool bLarge = op.chunk > 0;
        void* memory = bLarge ? std::aligned_alloc(kHuge, kLargeChunk)
                              : std::malloc(ChunkPages(0, sizeof(Page)) * sizeof(Page));
        if (!memory)
            throw std::bad_alloc();
        std::unique_ptr<Page[], FreeChunk> chunk(static_cast<Page*>(memory));
        if (bLarge)
            membuf::AdviseLargeBuffer(memory, kLargeChunk);
        op.chunks.push_back(std::move(chunk));
    }
    return op.chunks[op.chunk][op.chunkUsed++];
}

void CPager::ClearPages() noexcept {
    m_op.pages.clear();
    m_op.spare.clear();
    m_op.freeWrites.clear();
    m_op.claimed.Clear();
    m_op.bFreeWritten = false;
    m_op.chunk = 0;
    m_op.chunkUsed = 0;
    if (m_op.chunks.size() > 1)
        m_op.chunks.resize(1); // a large operation's memory goes back
}

// ---- reading -------------------------------------------------------------------------------

// Reads the disk's bytes (zeros past its end), then what is still gathered in memory. Small
// reads (blocks, links) go through the windows, or the view when the windows decline; larger
// ones straight to the file.
void CPager::ReadDisk(std::uint64_t offset, BYTE* out, std::size_t count) {
    const std::uint64_t onDisk = m_file.GetLength();
    std::size_t have = 0;
    if (offset < onDisk)
        have = static_cast<std::size_t>(std::min<std::uint64_t>(count, onDisk - offset));
    if (have > 0 && count <= BLOCK_SIZE && offset >= HEADER_SIZE) {
        if (!m_windows.Read(m_file, offset, out, have, !m_bNoMap) && !ReadMapped(offset, out, have))
            m_windows.Read(m_file, offset, out, have, false);
    } else if (have > 0) {
        m_file.Seek(static_cast<std::int64_t>(offset), CFile::begin);
        have = m_file.Read(out, static_cast<UINT>(have));
    }
    std::memset(out + have, 0, count - have);
    if (!m_op.run.empty())
        OverlayRun(offset, out, count);
}

// Copies from the view, mapping the file (again, when it grew) as needed. False when there is
// no view to read from; throws when the file shrank under it.
bool CPager::ReadMapped(std::uint64_t offset, BYTE* out, std::size_t count) {
    if (offset + count > m_map.Length()) {
        if (m_bNoMap)
            return false;
        if (!m_map.Map(m_file.Handle(), m_file.GetLength())) {
            m_bNoMap = true;
            return false;
        }
    }
    if (!m_map.Copy(offset, out, count))
        ThrowCorrupt(); // the file is shorter than it was: another program cut it
    return true;
}

void CPager::OverlayRun(std::uint64_t offset, BYTE* out, std::size_t count) const {
    const auto& run = m_op.run;
    const std::uint64_t from = std::max(offset, m_op.runStart);
    const std::uint64_t to = std::min<std::uint64_t>(offset + count, m_op.runStart + run.size());
    if (from < to)
        std::memcpy(out + (from - offset), run.data() + (from - m_op.runStart),
                    static_cast<std::size_t>(to - from));
}

bool CPager::InRun(std::uint64_t offset, std::size_t count) const {
    return !m_op.run.empty() && offset < m_op.runStart + m_op.run.size() &&
           offset + count > m_op.runStart;
}

void CPager::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    auto* out = static_cast<BYTE*>(buffer);
    ReadDisk(offset, out, count);
    if (m_op.pages.empty() || offset + count <= HEADER_SIZE)
        return;
    // Blocks the operation changed replace what the disk holds.
    std::uint64_t end = offset + count;
    for (std::uint64_t at = PageOf(std::max<std::uint64_t>(offset, HEADER_SIZE)); at < end;
         at += BLOCK_SIZE) {
        const Page* page = FindPage(static_cast<DWORD>(at));
        if (!page)
            continue;
        std::uint64_t from = std::max(offset, at);
        std::uint64_t to = std::min<std::uint64_t>(end, at + BLOCK_SIZE);
        std::memcpy(out + (from - offset), page->now.data() + (from - at),
                    static_cast<std::size_t>(to - from));
    }
}

const BYTE* CPager::BlockBytes(DWORD offset, BYTE* scratch) {
    if (const Page* page = FindPage(offset))
        return page->now.data();
    if (!InRun(offset, BLOCK_SIZE) && std::uint64_t{offset} + BLOCK_SIZE <= m_file.GetLength())
        if (const BYTE* p = m_windows.Peek(m_file, offset, BLOCK_SIZE, !m_bNoMap))
            return p;
    ReadDisk(offset, scratch, BLOCK_SIZE);
    return scratch;
}

const BYTE* CPager::SpanBytes(std::uint64_t offset, std::size_t& count) {
    const std::uint64_t inWindow = (offset - HEADER_SIZE) % CReadWindows::kWindowSize;
    count = static_cast<std::size_t>(
        std::min<std::uint64_t>(count, CReadWindows::kWindowSize - inWindow));
    if (!m_op.pages.empty() || !m_op.run.empty() || offset + count > m_file.GetLength())
        return nullptr;
    return m_windows.Peek(m_file, offset, count, !m_bNoMap);
}

void CPager::ReadSmall(std::uint64_t offset, BYTE* out, std::size_t count) {
    const bool bChanged = FindPage(PageOf(offset)) != nullptr ||
                          (!m_op.run.empty() && offset + BLOCK_SIZE > m_op.runStart);
    if (bChanged || offset + BLOCK_SIZE > m_file.GetLength()) {
        ReadAt(offset, out, count);
        return;
    }
    m_file.Seek(static_cast<std::int64_t>(offset), CFile::begin);
    if (m_file.Read(out, static_cast<UINT>(count)) != count)
        ThrowCorrupt(); // the file is shorter than it was: another program cut it
}
