#include "store/Journal.h"

#include "platform/FileSystem.h"
#include "store/DataFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace nota;

namespace journal {

namespace {

constexpr char kMagic[8] = {'N', 'O', 'T', 'A', 'J', 'R', 'N', 'L'};
// Version 2 takes its checksums four words at a time; a version 1 journal (one word at a
// time), left by an earlier program, is still read and recovered.
constexpr DWORD kVersion = kCurrentVersion;
constexpr std::size_t kHead = 40; // magic, version, count, three 64-bit fields
// offset, length, checksum; from version 3 also the two sector pieces' checksums
constexpr std::size_t RegionHead(DWORD version) {
    return version >= 3 ? 32 : 16;
}
constexpr std::size_t kMaxRegion = BLOCK_SIZE;

void Put64(std::vector<BYTE>& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

void Put32(std::vector<BYTE>& out, DWORD v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

void PutLE64(BYTE* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

std::uint64_t Get64(const BYTE* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// The checksum of `size` bytes of the data file at `offset` (fewer when the file ends).
std::uint64_t ChecksumOfFile(CFile& data, std::uint64_t offset, std::uint64_t size, DWORD version) {
    std::vector<BYTE> buf(size);
    data.Seek(static_cast<std::int64_t>(offset), CFile::begin);
    const bool bWhole = data.Read(buf.data(), static_cast<UINT>(size)) == size;
    const std::uint64_t sum = Checksum(buf.data(), size, kSeed, version);
    return bWhole ? sum : ~sum; // a file that ends early cannot match
}

constexpr std::uint64_t kPrime = 0x100000001b3ull;

std::uint64_t Mix(std::uint64_t h, std::uint64_t w) {
    h = (h ^ w) * kPrime;
    return h ^ (h >> 29);
}

bool IsCommitted(CFile& data, const Record& r) {
    if (data.GetLength() != r.newLength)
        return false;
    for (const Region& g : r.regions)
        if (ChecksumOfFile(data, g.offset, g.original.size(), r.version) != g.newChecksum)
            return false;
    // Piece by piece, as the commit took it (a single sum over the growth would differ).
    return TailChecksum(data, r.originalLength, r.newLength, r.version) == r.tailChecksum;
}

// Reads the journal without following a link and without waiting on a pipe; false when
// there is none. Anything but a regular file there throws notRegularFile.
bool ReadWhole(const std::string& path, std::vector<BYTE>& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return false;
        if (errno == ELOOP || errno == ENXIO)
            throw CFileException(CFileException::notRegularFile, path, errno);
        CFileException::ThrowOsError(errno, path);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw CFileException(CFileException::notRegularFile, path);
    }
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return true;
}

// A region's bytes now in the data file; false when the file ends within them.
bool ReadRegion(CFile& data, const Region& g, std::vector<BYTE>& now) {
    now.resize(g.original.size());
    data.Seek(g.offset, CFile::begin);
    return now.empty() || data.Read(now.data(), static_cast<UINT>(now.size())) == now.size();
}

// Each sector piece of the region holds its old bytes or its new ones. A region whose new
// bytes were never known (the header and the anchors of a provisional journal) must hold its
// old bytes. Journals without sectors' checksums (older versions) are held to the header:
// wholly old or wholly new; their other regions are taken as they are.
bool RegionFits(const Record& r, const Region& g, const std::vector<BYTE>& now) {
    const std::size_t n = now.size();
    const std::size_t split = SectorSplit(g.offset, n);
    auto old = [&](std::size_t from, std::size_t to) {
        return std::equal(now.begin() + static_cast<std::ptrdiff_t>(from),
                          now.begin() + static_cast<std::ptrdiff_t>(to),
                          g.original.begin() + static_cast<std::ptrdiff_t>(from));
    };
    const bool pieces = g.newPieces[0] != 0 || g.newPieces[1] != 0;
    if (r.version >= 3 && pieces) {
        auto piece = [&](std::size_t from, std::size_t to, std::uint64_t sum) {
            return from == to || old(from, to) ||
                   Checksum(now.data() + from, to - from, kSeed, r.version) == sum;
        };
        return piece(0, split, g.newPieces[0]) && piece(split, n, g.newPieces[1]);
    }
    if (g.newChecksum == 0 && !pieces)
        return old(0, n);
    if (g.offset != 0)
        return true;
    return old(0, n) || Checksum(now.data(), n, kSeed, r.version) == g.newChecksum;
}

// Aside from the journal: "<journal>.unmatched", numbered when taken; never over anything.
std::string SetAside(const std::string& journalPath) {
    for (int n = 1; n < 1000; ++n) {
        std::string to = journalPath + ".unmatched" + (n == 1 ? "" : "-" + std::to_string(n));
        if (fs_util::PlaceNewFile(journalPath, to))
            return to;
        if (errno != EEXIST)
            CFileException::ThrowOsError(errno, journalPath);
    }
    CFileException::ThrowOsError(EEXIST, journalPath + ".unmatched");
}

} // namespace

std::uint64_t Checksum(const void* data, std::size_t size, std::uint64_t seed, DWORD version) {
    auto* p = static_cast<const BYTE*>(data);
    std::uint64_t h = seed ^ (size * 0x9E3779B97F4A7C15ull);
    std::size_t i = 0;
    if (version >= 2 && size >= 32) {
        // Four independent lanes, so that the multiplications overlap; folded into one.
        std::uint64_t a = h, b = h ^ 0x5bd1e995ull, c = h ^ 0x27d4eb2full, d = h ^ 0x165667b1ull;
        for (; i + 32 <= size; i += 32) {
            std::uint64_t w0, w1, w2, w3;
            std::memcpy(&w0, p + i, 8);
            std::memcpy(&w1, p + i + 8, 8);
            std::memcpy(&w2, p + i + 16, 8);
            std::memcpy(&w3, p + i + 24, 8);
            a = Mix(a, w0);
            b = Mix(b, w1);
            c = Mix(c, w2);
            d = Mix(d, w3);
        }
        h = Mix(Mix(Mix(a, b), c), d);
    }
    for (; i + 8 <= size; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        h = Mix(h, w);
    }
    for (; i < size; ++i)
        h = (h ^ p[i]) * kPrime;
    return h ^ (h >> 32);
}

std::uint64_t PieceEnd(std::uint64_t p) {
    if (p < HEADER_SIZE)
        return HEADER_SIZE;
    return HEADER_SIZE + ((p - HEADER_SIZE) / BLOCK_SIZE + 1) * BLOCK_SIZE;
}

CTailSum::CTailSum(std::uint64_t from, DWORD version) : m_nPosition(from), m_nVersion(version) {}

void CTailSum::Add(const BYTE* in, std::size_t count) {
    while (count > 0) {
        const std::uint64_t start = m_nPosition - m_nPartial;
        const std::size_t piece = static_cast<std::size_t>(PieceEnd(start) - start);
        if (m_nPartial == 0 && count >= piece) {
            m_sum = Checksum(in, piece, m_sum, m_nVersion); // a whole piece, where it lies
        } else {
            const std::size_t n = std::min(count, piece - m_nPartial);
            std::memcpy(m_partial + m_nPartial, in, n);
            m_nPartial += n;
            m_nPosition += n;
            in += n;
            count -= n;
            if (m_nPartial == piece) {
                m_sum = Checksum(m_partial, piece, m_sum, m_nVersion);
                m_nPartial = 0;
            }
            continue;
        }
        m_nPosition += piece;
        in += piece;
        count -= piece;
    }
}

std::uint64_t CTailSum::Value() const {
    return m_nPartial == 0 ? m_sum : Checksum(m_partial, m_nPartial, m_sum, m_nVersion);
}

std::uint64_t TailChecksum(CFile& data, std::uint64_t from, std::uint64_t to, DWORD version) {
    CTailSum sum(from, version);
    std::vector<BYTE> buf;
    data.Seek(static_cast<std::int64_t>(from), CFile::begin);
    for (std::uint64_t p = from; p < to;) {
        buf.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, to - p)));
        if (data.Read(buf.data(), static_cast<UINT>(buf.size())) != buf.size())
            return ~sum.Value(); // the file ends early: cannot match
        sum.Add(buf.data(), buf.size());
        p += buf.size();
    }
    return sum.Value();
}

std::size_t SectorSplit(std::uint64_t offset, std::size_t size) {
    const std::uint64_t toBoundary = kSector - offset % kSector;
    return static_cast<std::size_t>(std::min<std::uint64_t>(size, toBoundary));
}

void SetNewBytes(Region& g, const BYTE* now, std::size_t n, DWORD version) {
    const std::size_t split = SectorSplit(g.offset, n);
    g.newChecksum = Checksum(now, n, kSeed, version);
    g.newPieces[0] = split ? Checksum(now, split, kSeed, version) : 0;
    g.newPieces[1] = split < n ? Checksum(now + split, n - split, kSeed, version) : 0;
}

bool Fits(CFile& data, const Record& r) {
    // The operation only grows the file (from its old end, a partial last block overwritten)
    // and a rollback cuts it back: every state in between has a length in this range.
    const std::uint64_t lo = r.originalLength <= HEADER_SIZE
                                 ? r.originalLength
                                 : r.originalLength - (r.originalLength - HEADER_SIZE) % BLOCK_SIZE;
    const std::uint64_t length = data.GetLength();
    if (length < lo || length > r.newLength)
        return false;
    std::vector<BYTE> now;
    for (const Region& g : r.regions)
        if (!ReadRegion(data, g, now) || !RegionFits(r, g, now))
            return false;
    return true;
}

CWriter::CWriter(const Record& head, DWORD regions, Sink sink)
    : m_sink(std::move(sink)), m_nVersion(head.version) {
    m_buf.reserve(2 * kPiece);
    m_buf.assign(kMagic, kMagic + 8);
    Put32(m_buf, head.version);
    Put32(m_buf, regions);
    Put64(m_buf, head.originalLength);
    Put64(m_buf, head.newLength);
    Put64(m_buf, head.tailChecksum);
}

void CWriter::Emit(bool bAll) {
    std::size_t done = 0;
    while (m_buf.size() - done >= kPiece || (bAll && done < m_buf.size())) {
        std::size_t n = std::min(kPiece, m_buf.size() - done);
        m_sum = Checksum(m_buf.data() + done, n, m_sum, m_nVersion);
        m_sink(m_buf.data() + done, n);
        done += n;
    }
    m_buf.erase(m_buf.begin(), m_buf.begin() + static_cast<std::ptrdiff_t>(done));
}

void CWriter::Add(const Region& g, const BYTE* original, std::size_t size) {
    // The region's head and bytes go in with one growth of the buffer.
    const std::size_t head = RegionHead(m_nVersion);
    const std::size_t at = m_buf.size();
    m_buf.resize(at + head + size);
    BYTE* p = m_buf.data() + at;
    PutLE32(p, g.offset);
    PutLE32(p + 4, static_cast<DWORD>(size));
    PutLE64(p + 8, g.newChecksum);
    if (m_nVersion >= 3) {
        PutLE64(p + 16, g.newPieces[0]);
        PutLE64(p + 24, g.newPieces[1]);
    }
    if (size > 0)
        std::memcpy(p + head, original, size);
    if (m_buf.size() >= kPiece)
        Emit(false);
}

void CWriter::AddRegion(DWORD offset, const BYTE* original, std::size_t size,
                        std::uint64_t newChecksum) {
    Region g;
    g.offset = offset;
    g.newChecksum = newChecksum;
    Add(g, original, size);
}

void CWriter::AddRegionOf(DWORD offset, const BYTE* original, const BYTE* now, std::size_t size) {
    Region g;
    g.offset = offset;
    SetNewBytes(g, now, size, m_nVersion);
    Add(g, original, size);
}

void CWriter::Finish() {
    Emit(true);
    Put64(m_buf, m_sum);
    m_sink(m_buf.data(), m_buf.size());
    m_buf.clear();
}

std::vector<BYTE> Encode(const Record& r) {
    std::vector<BYTE> out;
    CWriter w(r, static_cast<DWORD>(r.regions.size()),
              [&out](const BYTE* p, std::size_t n) { out.insert(out.end(), p, p + n); });
    for (const Region& g : r.regions)
        w.Add(g, g.original.data(), g.original.size());
    w.Finish();
    return out;
}

bool Decode(const std::vector<BYTE>& bytes, Record& r) {
    if (bytes.size() < kHead + 8 || std::memcmp(bytes.data(), kMagic, 8) != 0 ||
        GetLE32(bytes.data() + 8) == 0 || GetLE32(bytes.data() + 8) > kVersion)
        return false;
    r.version = GetLE32(bytes.data() + 8);
    DWORD count = GetLE32(bytes.data() + 12);
    r.originalLength = Get64(bytes.data() + 16);
    r.newLength = Get64(bytes.data() + 24);
    r.tailChecksum = Get64(bytes.data() + 32);
    if (r.newLength < r.originalLength)
        return false;
    r.regions.clear();
    std::size_t pos = kHead;
    for (DWORD i = 0; i < count; ++i) {
        if (bytes.size() - pos < RegionHead(r.version) + 8)
            return false;
        Region g;
        g.offset = GetLE32(bytes.data() + pos);
        DWORD length = GetLE32(bytes.data() + pos + 4);
        g.newChecksum = Get64(bytes.data() + pos + 8);
        if (r.version >= 3) {
            g.newPieces[0] = Get64(bytes.data() + pos + 16);
            g.newPieces[1] = Get64(bytes.data() + pos + 24);
        }
        pos += RegionHead(r.version);
        if (length > kMaxRegion || bytes.size() - pos < length + 8 ||
            g.offset + std::uint64_t{length} > r.originalLength)
            return false;
        g.original.assign(bytes.begin() + pos, bytes.begin() + pos + length);
        pos += length;
        r.regions.push_back(std::move(g));
    }
    if (bytes.size() - pos < 8)
        return false;
    std::uint64_t sum = kSeed;
    for (std::size_t at = 0; at < pos; at += kPiece)
        sum = Checksum(bytes.data() + at, std::min(kPiece, pos - at), sum, r.version);
    return Get64(bytes.data() + pos) == sum;
}

std::string PathFor(const std::string& dataPath) {
    return fs_util::ResolveLinks(dataPath) + "-journal";
}

void RollBack(CFile& data, const Record& r) {
    for (const Region& g : r.regions) {
        data.Seek(g.offset, CFile::begin);
        data.Write(g.original.data(), static_cast<UINT>(g.original.size()));
    }
    if (data.GetLength() != r.originalLength)
        data.SetLength(r.originalLength);
    data.Flush();
}

bool ReadJournal(const std::string& path, Record& record) {
    std::vector<BYTE> bytes;
    return ReadWhole(path, bytes) && Decode(bytes, record);
}

void CheckRegularOrAbsent(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return;
        CFileException::ThrowOsError(errno, path);
    }
    if (!S_ISREG(st.st_mode))
        throw CFileException(CFileException::notRegularFile, path);
}

Outcome Inspect(CFile& data, const std::string& journalPath) {
    std::vector<BYTE> bytes;
    Record r;
    if (!ReadWhole(journalPath, bytes) || !Decode(bytes, r))
        return Outcome::None;
    if (!Fits(data, r))
        return Outcome::Foreign;
    return IsCommitted(data, r) ? Outcome::Committed : Outcome::Pending;
}

Outcome Recover(CFile& data, const std::string& journalPath, std::string* aside) {
    std::vector<BYTE> bytes;
    if (!ReadWhole(journalPath, bytes))
        return Outcome::None;
    Record r;
    Outcome outcome = Outcome::None;
    if (Decode(bytes, r)) {
        if (!Fits(data, r)) {
            std::string to = SetAside(journalPath);
            if (aside)
                *aside = to;
            return Outcome::Foreign;
        }
        if (IsCommitted(data, r)) {
            outcome = Outcome::Committed;
        } else {
            RollBack(data, r);
            outcome = Outcome::RolledBack;
        }
    }
    fs_util::DeleteFile(journalPath);
    return outcome;
}

} // namespace journal
