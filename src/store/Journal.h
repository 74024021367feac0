#pragma once
// The rollback journal of a data file: "<data file>-journal" beside it. Before an operation
// writes over any byte of the data file, the journal receives the original bytes of every
// region the operation overwrites (always the header), the file's original length, and
// checksums of what the operation will write; it is committed to the disk before the data
// file is touched. docs/journal-format.md describes the bytes.
//
// Recovery (whoever opens the data file with the exclusive lock, before reading it):
//   - no journal, or one that is torn (short, wrong magic, wrong checksum): the data file
//     was not touched by that operation; the journal is removed;
//   - a whole journal that does not fit the file at its path (its length outside what the
//     operation could leave, or a journaled sector holding neither its old nor its new
//     bytes): another file was put there; the journal is renamed aside, never applied;
//   - a whole journal whose new state the data file shows completely (length, every region,
//     the appended tail): the operation committed; the journal is removed;
//   - otherwise the operation was cut short: the original bytes go back, the file gets its
//     original length, the data file is committed, and the journal is removed.

#include "platform/File.h"
#include "platform/Types.h"
#include "store/DataFormat.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace journal {

constexpr std::uint64_t kSeed = 0xcbf29ce484222325ull;
// The version this program writes; Decode also reads versions 1 and 2, which carry no
// checksums of sectors.
constexpr DWORD kCurrentVersion = 3;
// A 64-bit checksum of size bytes, continued from `seed` (not the same when the bytes are
// split differently). Version 1 takes eight bytes at a time, version 2 thirty-two.
std::uint64_t Checksum(const void* data, std::size_t size, std::uint64_t seed = kSeed,
                       DWORD version = kCurrentVersion);
// Journals are read and written, and long stretches of the data file summed, this many
// bytes at a time.
constexpr std::size_t kPiece = 1 << 20;

// The growth's checksum is taken piece by piece, each piece ending at a block boundary
// (offsets 32 + 512k) or at the end: the header's 32 bytes, then whole blocks. PieceEnd is
// the end of the piece that holds offset p.
std::uint64_t PieceEnd(std::uint64_t p);

// The growth's checksum, fed in order from its first byte; the bytes may come in any split.
// The commit sums growth with it as the growth is written, recovery as it reads it back:
// both must arrive at the same figure for the same bytes.
class CTailSum {
public:
    explicit CTailSum(std::uint64_t from = 0, DWORD version = kCurrentVersion);
    // The next count bytes of the growth.
    void Add(const BYTE* in, std::size_t count);
    // Where the next byte goes.
    std::uint64_t Position() const { return m_nPosition; }
    // The checksum of the bytes added so far, as the tail's if it ended here.
    std::uint64_t Value() const;

private:
    std::uint64_t m_nPosition;
    DWORD m_nVersion;
    std::uint64_t m_sum = kSeed;
    std::size_t m_nPartial = 0; // bytes of the current piece held in m_partial
    BYTE m_partial[nota::BLOCK_SIZE];
};

// The checksum of the data file's bytes from `from` to `to` (CTailSum over them); a file
// that ends early yields a figure that cannot match.
std::uint64_t TailChecksum(CFile& data, std::uint64_t from, std::uint64_t to,
                           DWORD version = kCurrentVersion);

// A power cut keeps or loses a write sector by sector (512 bytes of the file, aligned). A
// region of at most 512 bytes touches at most two sectors: SectorSplit is the size of its
// first piece (size itself when it lies in one sector).
constexpr std::uint64_t kSector = 512;
std::size_t SectorSplit(std::uint64_t offset, std::size_t size);

struct Region {
    DWORD offset = 0;
    std::vector<BYTE> original;    // the bytes before the operation
    std::uint64_t newChecksum = 0; // of the same number of bytes after it
    // Version 3: the checksums of the new bytes of each sector piece (SectorSplit); both 0
    // when the new bytes were not known (the header under a provisional journal).
    std::uint64_t newPieces[2] = {0, 0};
};

struct Record {
    DWORD version = kCurrentVersion; // of the journal; its checksums are of that version
    std::uint64_t originalLength = 0;
    std::uint64_t newLength = 0;
    std::uint64_t tailChecksum = 0; // of the bytes from originalLength to newLength, after
    std::vector<Region> regions;
};

// Builds a journal's bytes region by region and hands them to a sink in pieces of at most
// kPiece bytes (what Encode does for a whole record). The number of regions and the growth's
// checksum come first, so they must be known before the first region.
class CWriter {
public:
    using Sink = std::function<void(const BYTE*, std::size_t)>;
    CWriter(const Record& head, DWORD regions, Sink sink);
    void AddRegion(DWORD offset, const BYTE* original, std::size_t size, std::uint64_t newChecksum);
    // The same with the new bytes at hand: their checksum and their sectors' are taken here.
    void AddRegionOf(DWORD offset, const BYTE* original, const BYTE* now, std::size_t size);
    // A region whose checksums are set already (its original bytes given apart).
    void Add(const Region& head, const BYTE* original, std::size_t size);
    // Appends the checksum and hands over the rest.
    void Finish();

private:
    Sink m_sink;
    DWORD m_nVersion;
    std::vector<BYTE> m_buf;
    std::uint64_t m_sum = kSeed;
    void Emit(bool bAll);
};

// Fills the region's checksums of its `size` new bytes `now`.
void SetNewBytes(Region& region, const BYTE* now, std::size_t size,
                 DWORD version = kCurrentVersion);

// Reads and decodes the journal at path; false when there is none or it is torn.
bool ReadJournal(const std::string& path, Record& record);

// The journal's bytes for a record.
std::vector<BYTE> Encode(const Record& record);
// Reads a journal's bytes; false for a torn or foreign journal. The checksum at the end
// covers the bytes before it, taken kPiece bytes at a time.
bool Decode(const std::vector<BYTE>& bytes, Record& record);

// The journal's path for a data file path (links followed).
std::string PathFor(const std::string& dataPath);

// Pending: a rollback is due (what Inspect finds where Recover would roll back). Foreign: the
// journal does not fit the data file.
enum class Outcome { None, Committed, RolledBack, Pending, Foreign };

// Whether the data file can be the one the journal was written for, at some moment of its
// operation, of its commit or of a rollback (see the recovery rule above).
bool Fits(CFile& data, const Record& record);

// Applies the recovery rule above to the open data file `data` (read-write), using the
// journal at journalPath. A journal that does not fit is renamed aside (its new name in
// *aside). Throws CFileException when the data file cannot be restored (the journal then
// stays for the next attempt), or when something other than a regular file has the
// journal's name (notRegularFile, naming it; nothing is changed).
Outcome Recover(CFile& data, const std::string& journalPath, std::string* aside = nullptr);
// What Recover would do, changing nothing (for a reader that cannot write): None,
// Committed, Pending or Foreign. Throws as Recover for a name that is not a regular file.
Outcome Inspect(CFile& data, const std::string& journalPath);
// Throws CFileException(notRegularFile) when something other than a regular file (a link,
// a pipe, a folder) has the name path; nothing there, or a regular file, passes.
void CheckRegularOrAbsent(const std::string& path);

// Puts the original bytes of `record` back into `data`, gives it its original length and
// commits it. Throws CFileException.
void RollBack(CFile& data, const Record& record);

} // namespace journal
