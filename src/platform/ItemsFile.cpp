#include "platform/ItemsFile.h"

#include "platform/LargeBuffer.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <fstream>
#include <new>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace itemsfile {

namespace {

constexpr std::string_view kMagic = "NotariumItemsFile";
constexpr std::string_view kVersion = "1";
constexpr std::string_view kPrefix = "notarium-items-";
constexpr std::size_t kRandomDigits = 16;
constexpr std::size_t kMaxRecord = 256;
constexpr std::size_t kMaxBootId = 64;
// One read or write call moves at most this much (Linux caps a call a little below 2 GiB).
constexpr std::size_t kChunk = std::size_t{1} << 30;

std::atomic<unsigned long> g_counter{0};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHex(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f');
}

// A decimal number of 1..maxDigits digits, without sign or leading zeros.
bool ParseNumber(std::string_view s, std::size_t maxDigits, std::uint64_t& value) {
    if (s.empty() || s.size() > maxDigits || (s.size() > 1 && s[0] == '0'))
        return false;
    for (char c : s)
        if (!IsDigit(c))
            return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

bool IsBootId(std::string_view s) {
    if (s == "-")
        return true;
    if (s.empty() || s.size() > kMaxBootId)
        return false;
    for (char c : s)
        if (!IsHex(c) && c != '-')
            return false;
    return true;
}

// The next space-separated field of s (exactly one space between fields).
std::string_view NextField(std::string_view& s) {
    const std::size_t space = s.find(' ');
    const std::string_view field = s.substr(0, space);
    s = space == std::string_view::npos ? std::string_view() : s.substr(space + 1);
    return field;
}

std::string NewFileName() {
    static std::random_device device;
    const std::uint64_t random =
        (static_cast<std::uint64_t>(device()) << 32) ^ static_cast<std::uint64_t>(device());
    char name[80];
    std::snprintf(name, sizeof name, "%.*s%ld-%lu-%016llx", static_cast<int>(kPrefix.size()),
                  kPrefix.data(), static_cast<long>(::getpid()), g_counter.fetch_add(1) + 1,
                  static_cast<unsigned long long>(random));
    return name;
}

bool WriteAll(int fd, const BYTE* p, std::size_t n) {
    while (n > 0) {
        const ssize_t done = ::write(fd, p, n < kChunk ? n : kChunk);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = EIO;
            return false;
        }
        p += done;
        n -= static_cast<std::size_t>(done);
    }
    return true;
}

bool ReadAll(int fd, BYTE* p, std::size_t n) {
    while (n > 0) {
        const ssize_t done = ::read(fd, p, n < kChunk ? n : kChunk);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false; // an error, or the file was cut short while read
        p += done;
        n -= static_cast<std::size_t>(done);
    }
    return true;
}

class CFd {
public:
    explicit CFd(int fd) : m_fd(fd) {}
    ~CFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

std::string PathOf(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + '/' + name;
}

bool IsGone(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

std::string EncodeRecord(const CRecord& record) {
    std::string out(kMagic);
    out += ' ';
    out += kVersion;
    out += ' ';
    out += record.bootId.empty() ? std::string("-") : record.bootId;
    out += ' ';
    out += std::to_string(record.size);
    out += ' ';
    out += record.name;
    return out;
}

bool DecodeRecord(std::string_view text, CRecord& record) {
    if (text.size() > kMaxRecord)
        return false;
    if (NextField(text) != kMagic || NextField(text) != kVersion)
        return false;
    const std::string_view boot = NextField(text);
    const std::string_view size = NextField(text);
    const std::string_view name = text; // the rest: no further spaces allowed
    std::uint64_t bytes = 0;
    long pid = 0;
    if (!IsBootId(boot) || !ParseNumber(size, 20, bytes) || !ParseFileName(name, pid))
        return false;
    record.bootId = std::string(boot);
    record.size = bytes;
    record.name = std::string(name);
    return true;
}

bool ParseFileName(std::string_view name, long& pid) {
    if (name.substr(0, kPrefix.size()) != kPrefix)
        return false;
    name.remove_prefix(kPrefix.size());
    std::string_view rest = name;
    const std::size_t dash1 = rest.find('-');
    if (dash1 == std::string_view::npos)
        return false;
    const std::string_view pidText = rest.substr(0, dash1);
    rest.remove_prefix(dash1 + 1);
    const std::size_t dash2 = rest.find('-');
    if (dash2 == std::string_view::npos)
        return false;
    const std::string_view counter = rest.substr(0, dash2);
    const std::string_view random = rest.substr(dash2 + 1);
    std::uint64_t p = 0, c = 0;
    if (!ParseNumber(pidText, 10, p) || p == 0 || p > static_cast<std::uint64_t>(INT_MAX) ||
        !ParseNumber(counter, 20, c) || random.size() != kRandomDigits)
        return false;
    for (char ch : random)
        if (!IsHex(ch))
            return false;
    pid = static_cast<long>(p);
    return true;
}

const std::string& BootId() {
    static const std::string id = [] {
        std::ifstream in("/proc/sys/kernel/random/boot_id");
        std::string line;
        std::getline(in, line);
        return IsBootId(line) ? line : std::string("-");
    }();
    return id;
}

bool WriteFile(const std::string& dir, const void* p, std::size_t n, std::string& name) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string candidate = NewFileName();
        const std::string path = PathOf(dir, candidate);
        CFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (fd.Get() < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        if (!WriteAll(fd.Get(), static_cast<const BYTE*>(p), n)) {
            const int err = errno;
            ::unlink(path.c_str());
            errno = err;
            return false;
        }
        name = candidate;
        return true;
    }
    return false; // errno is still EEXIST
}

bool RemoveFile(const std::string& dir, const std::string& name) {
    return ::unlink(PathOf(dir, name).c_str()) == 0 || errno == ENOENT;
}

ReadResult ReadFile(const std::string& dir, const CRecord& record, CBuffer& out) {
    long pid = 0;
    if (record.bootId != BootId())
        return ReadResult::OtherMachine;
    if (!ParseFileName(record.name, pid))
        return ReadResult::CannotOpen;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    CFd fd(::open(PathOf(dir, record.name).c_str(),
                  O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0)
        return ReadResult::CannotOpen;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return ReadResult::ReadFailed;
    if (!S_ISREG(st.st_mode))
        return ReadResult::NotRegular;
    if (st.st_uid != ::geteuid())
        return ReadResult::NotOwner;
    if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) != record.size ||
        record.size == 0 || record.size > PTRDIFF_MAX)
        return ReadResult::WrongSize;
    const auto size = static_cast<std::size_t>(record.size);
    std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[size]);
    if (!bytes)
        return ReadResult::ReadFailed;
    membuf::AdviseLargeBuffer(bytes.get(), size);
    if (!ReadAll(fd.Get(), bytes.get(), size))
        return ReadResult::ReadFailed;
    out.bytes = std::move(bytes);
    out.size = size;
    return ReadResult::Ok;
}

int RemoveStaleFiles(const std::string& dir, bool ownPidToo) {
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return 0;
    const long self = static_cast<long>(::getpid());
    int removed = 0;
    while (const dirent* entry = ::readdir(d)) {
        long pid = 0;
        if (!ParseFileName(entry->d_name, pid))
            continue;
        const bool stale = pid == self ? ownPidToo : IsGone(pid);
        if (stale && ::unlinkat(::dirfd(d), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(d);
    return removed;
}

} // namespace itemsfile
