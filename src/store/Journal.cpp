#include "store/Journal.h"

#include "platform/FileSystem.h"
#include "store/DataFormat.h"

#include <algorithm>
#include <cstring>

using namespace nota;

namespace journal {

namespace {

constexpr char kMagic[8] = {'N', 'O', 'T', 'A', 'J', 'R', 'N', 'L'};
// Version 2 takes its checksums four words at a time; a version 1 journal (one word at a
// time), left by an earlier program, is still read and recovered.
constexpr DWORD kVersion = kCurrentVersion;
constexpr std::size_t kHead = 40;       // magic, version, count, three 64-bit fields
constexpr std::size_t kRegionHead = 16; // offset, length, checksum
constexpr std::size_t kMaxRegion = BLOCK_SIZE;

void Put64(std::vector<BYTE>& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

void Put32(std::vector<BYTE>& out, DWORD v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
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

bool ReadWhole(const std::string& path, std::vector<BYTE>& bytes) {
    CFile f;
    if (!f.Open(path, CFile::modeRead, nullptr))
        return false;
    bytes.resize(f.GetLength());
    UINT got = bytes.empty() ? 0 : f.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    bytes.resize(got);
    f.Abort();
    return true;
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

void CWriter::AddRegion(DWORD offset, const BYTE* original, std::size_t size,
                        std::uint64_t newChecksum) {
    Put32(m_buf, offset);
    Put32(m_buf, static_cast<DWORD>(size));
    Put64(m_buf, newChecksum);
    m_buf.insert(m_buf.end(), original, original + size);
    if (m_buf.size() >= kPiece)
        Emit(false);
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
        w.AddRegion(g.offset, g.original.data(), g.original.size(), g.newChecksum);
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
        if (bytes.size() - pos < kRegionHead + 8)
            return false;
        Region g;
        g.offset = GetLE32(bytes.data() + pos);
        DWORD length = GetLE32(bytes.data() + pos + 4);
        g.newChecksum = Get64(bytes.data() + pos + 8);
        pos += kRegionHead;
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

Outcome Recover(CFile& data, const std::string& journalPath) {
    std::vector<BYTE> bytes;
    if (!ReadWhole(journalPath, bytes))
        return Outcome::None;
    Record r;
    Outcome outcome = Outcome::None;
    if (Decode(bytes, r)) {
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
