#include "platform/FileMap.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The copy running on this thread, if any: where its source lies and where to go back to.
struct GuardedCopy {
    sigjmp_buf jump;
    const BYTE* from;
    const BYTE* to;
};

thread_local GuardedCopy* t_pCopy = nullptr;
std::atomic<bool> g_bEnabled{true};
struct sigaction g_previous {};

// A SIGBUS inside a guarded copy, at an address of its source, ends the copy; any other is
// handed to what would have handled it without us.
extern "C" void OnBusError(int sig, siginfo_t* info, void* context) {
    GuardedCopy* copy = t_pCopy;
    const auto* at = static_cast<const BYTE*>(info->si_addr);
    if (copy != nullptr && at >= copy->from && at < copy->to) {
        t_pCopy = nullptr;
        siglongjmp(copy->jump, 1);
    }
    if ((g_previous.sa_flags & SA_SIGINFO) && g_previous.sa_sigaction != nullptr) {
        g_previous.sa_sigaction(sig, info, context);
        return;
    }
    if (!(g_previous.sa_flags & SA_SIGINFO) && g_previous.sa_handler != SIG_DFL &&
        g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(sig);
        return;
    }
    // The default: the faulting instruction runs again and the signal ends the process.
    ::signal(SIGBUS, SIG_DFL);
}

void InstallHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        // SA_NODEFER: the signal stays unblocked after the jump out of the handler, so the
        // jump needs no saved signal mask (saving it would be a system call per copy).
        action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previous);
    });
}

// The copy itself, alone in its frame, so that nothing of the caller lives across the jump.
bool CopyGuarded(GuardedCopy& copy, void* out) noexcept {
    if (sigsetjmp(copy.jump, 0) != 0)
        return false;
    t_pCopy = &copy;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(out, copy.from, static_cast<std::size_t>(copy.to - copy.from));
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_pCopy = nullptr;
    return true;
}

} // namespace

bool CFileMap::SetEnabled(bool bEnabled) noexcept {
    return g_bEnabled.exchange(bEnabled);
}

bool CFileMap::Map(int fd, std::uint64_t length) noexcept {
    Unmap();
    if (!g_bEnabled || fd < 0 || length == 0 || length > SIZE_MAX)
        return false;
    InstallHandler();
    // At an address on a 64 KiB boundary, so that the pages one fault brings in (the kernel's
    // fault-around, 64 KiB aligned) are the unit Touch counts.
    const std::size_t size = static_cast<std::size_t>(length);
    const std::size_t unit = std::size_t{1} << kUnitShift;
    void* area = ::mmap(nullptr, size + unit, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        return false;
    auto* start = static_cast<BYTE*>(area);
    BYTE* aligned = start + (unit - reinterpret_cast<std::uintptr_t>(start) % unit) % unit;
    void* p = ::mmap(aligned, size, PROT_READ, MAP_SHARED | MAP_FIXED, fd, 0);
    if (p == MAP_FAILED) {
        ::munmap(area, size + unit);
        return false;
    }
    if (aligned > start)
        ::munmap(start, static_cast<std::size_t>(aligned - start));
    const std::size_t pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    BYTE* tail = aligned + (size + pageSize - 1) / pageSize * pageSize;
    if (tail < start + size + unit)
        ::munmap(tail, static_cast<std::size_t>(start + size + unit - tail));
    m_pBase = static_cast<const BYTE*>(p);
    m_nLength = length;
    m_touched.assign(static_cast<std::size_t>(((length - 1) >> kUnitShift) / 64 + 1), 0);
    m_nTouched = 0;
    return true;
}

void CFileMap::Unmap() noexcept {
    if (m_pBase != nullptr)
        ::munmap(const_cast<BYTE*>(m_pBase), static_cast<std::size_t>(m_nLength));
    m_pBase = nullptr;
    m_nLength = 0;
    m_touched.clear();
    m_nTouched = 0;
}

bool CFileMap::Copy(std::uint64_t offset, void* out, std::size_t count) noexcept {
    if (count == 0)
        return true;
    if (m_pBase == nullptr || offset > m_nLength || count > m_nLength - offset)
        return false;
    Touch(offset, count);
    GuardedCopy copy;
    copy.from = m_pBase + offset;
    copy.to = copy.from + count;
    return CopyGuarded(copy, out);
}

void CFileMap::Touch(std::uint64_t offset, std::size_t count) noexcept {
    const std::uint64_t last = (offset + count - 1) >> kUnitShift;
    for (std::uint64_t unit = offset >> kUnitShift; unit <= last; ++unit) {
        std::uint64_t& word = m_touched[static_cast<std::size_t>(unit / 64)];
        const std::uint64_t bit = std::uint64_t{1} << (unit % 64);
        if (word & bit)
            continue;
        if (m_nTouched >= m_nBudgetUnits)
            GiveBackPages();
        word |= bit;
        ++m_nTouched;
    }
}

void CFileMap::GiveBackPages() noexcept {
    ::madvise(const_cast<BYTE*>(m_pBase), static_cast<std::size_t>(m_nLength), MADV_DONTNEED);
    std::fill(m_touched.begin(), m_touched.end(), 0);
    m_nTouched = 0;
}
