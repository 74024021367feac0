#include "support/CrashSim.h"

#include <algorithm>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::pair<std::uint64_t, std::uint64_t> KeyOf(int fd) {
    struct stat st {};
    ::fstat(fd, &st);
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::uint64_t LengthOf(int fd) {
    struct stat st {};
    ::fstat(fd, &st);
    return static_cast<std::uint64_t>(st.st_size);
}

bool Counts(CFile::Op op) {
    return op == CFile::Op::Write || op == CFile::Op::SetLength || op == CFile::Op::Flush ||
           op == CFile::Op::Rename || op == CFile::Op::Remove;
}

} // namespace

CCrashSim::CCrashSim() {
    CFile::SetFaultHook([this](CFile::Op op, const std::string& path) { OnStep(op, path); });
    CFile::SetIoObserver([this](const CFile::IoEvent& e) { OnIo(e); });
}

CCrashSim::~CCrashSim() {
    CFile::SetFaultHook(nullptr);
    CFile::SetIoObserver(nullptr);
    Clear();
}

void CCrashSim::Arm(int stopAt) {
    Clear();
    m_nStopAt = stopAt;
    m_nSteps = 0;
    m_bCrashed = false;
}

void CCrashSim::Disarm() {
    Clear();
    m_nStopAt = 0;
    m_bCrashed = false;
}

void CCrashSim::Clear() {
    for (auto& [key, changes] : m_unflushed)
        for (Change& c : changes)
            ::close(c.fd);
    m_unflushed.clear();
}

void CCrashSim::OnStep(CFile::Op op, const std::string& path) {
    if (m_bCrashed)
        throw CFileException(CFileException::hardIO, path); // the process is gone
    if (!Counts(op))
        return;
    if (++m_nSteps == m_nStopAt) {
        m_bCrashed = true;
        throw CFileException(CFileException::hardIO, path);
    }
}

void CCrashSim::OnIo(const CFile::IoEvent& e) {
    if (e.fd < 0 || m_nStopAt == 0)
        return;
    auto key = KeyOf(e.fd);
    if (e.op == CFile::Op::Flush) {
        for (Change& c : m_unflushed[key])
            ::close(c.fd);
        m_unflushed.erase(key);
        for (auto& [other, changes] : m_unflushed)
            for (Change& c : changes)
                c.bEarly = true;
        return;
    }
    if (e.op != CFile::Op::Write && e.op != CFile::Op::SetLength)
        return;
    Change c;
    c.fd = ::dup(e.fd);
    c.oldLength = LengthOf(e.fd);
    c.bLength = e.op == CFile::Op::SetLength;
    if (!c.bLength) {
        c.offset = e.offset;
        c.size = e.size;
        if (e.offset < c.oldLength) {
            c.old.resize(std::min<std::uint64_t>(e.size, c.oldLength - e.offset));
            ssize_t n = ::pread(e.fd, c.old.data(), c.old.size(), static_cast<off_t>(e.offset));
            c.old.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        }
    } else if (e.offset < c.oldLength) {
        // A shrink: the bytes cut off come back if the cut is lost.
        c.offset = e.offset;
        c.old.resize(c.oldLength - e.offset);
        ssize_t n = ::pread(e.fd, c.old.data(), c.old.size(), static_cast<off_t>(e.offset));
        c.old.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    m_unflushed[key].push_back(std::move(c));
}

void CCrashSim::End(int how, unsigned seed) {
    if (how == 1)
        PowerCut(Cut::DropAll, 0);
    else if (how == 2)
        PowerCut(Cut::Tear, seed);
    else if (how == 3)
        PowerCut(Cut::Reorder, 0);
}

void CCrashSim::PowerCut(Cut how, unsigned seed) {
    std::mt19937 rng(seed);
    for (auto& [key, changes] : m_unflushed) {
        // Newest first, so that undoing every change gives the state at the last flush.
        for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
            if (how != Cut::Reorder) {
                Undo(*it, how, rng);
                continue;
            }
            // Only an early write, and only where no later one (which stays) overlaps it.
            const Change& c = *it;
            bool bOverlapped = false;
            for (const Change& later : changes)
                bOverlapped =
                    bOverlapped ||
                    (!later.bEarly && (later.bLength || (later.offset < c.offset + c.size &&
                                                         c.offset < later.offset + later.size)));
            if (c.bEarly && !c.bLength && !bOverlapped)
                Undo(c, how, rng);
        }
    }
    Clear();
}

// Takes one change back (a torn cut: some of its sectors); a write that a reordering cut takes
// back leaves zeros where it had grown the file.
void CCrashSim::Undo(const Change& c, Cut how, std::mt19937& rng) {
    if (c.bLength) {
        if (how == Cut::DropAll || rng() % 2) {
            ::ftruncate(c.fd, static_cast<off_t>(c.oldLength));
            if (!c.old.empty())
                ::pwrite(c.fd, c.old.data(), c.old.size(), static_cast<off_t>(c.offset));
        }
        return;
    }
    // Sector by sector (512 bytes of the file), each kept or lost.
    std::uint64_t end = c.offset + c.size;
    for (std::uint64_t s = c.offset / 512 * 512; s < end; s += 512) {
        if (how == Cut::Tear && rng() % 2)
            continue; // this sector reached the disk
        std::uint64_t from = std::max(s, c.offset), to = std::min(s + 512, end);
        std::vector<BYTE> bytes(to - from, 0);
        for (std::uint64_t i = from; i < to; ++i)
            if (i - c.offset < c.old.size())
                bytes[i - from] = c.old[i - c.offset];
        ::pwrite(c.fd, bytes.data(), bytes.size(), static_cast<off_t>(from));
    }
    if (how == Cut::DropAll && LengthOf(c.fd) > c.oldLength)
        ::ftruncate(c.fd, static_cast<off_t>(c.oldLength));
}
