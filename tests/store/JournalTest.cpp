#include "store/Journal.h"
#include "store/BlockFile.h"
#include "support/FileBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace nota;

namespace {

journal::Record SampleRecord() {
    journal::Record r;
    r.originalLength = 32 + 3 * 512;
    r.newLength = 32 + 4 * 512;
    r.tailChecksum = 0x1234;
    journal::Region head;
    head.original.assign(32, 'h');
    head.newChecksum = 7;
    journal::Region block;
    block.offset = 32 + 512;
    block.original.assign(512, 'b');
    block.newChecksum = 9;
    r.regions = {head, block};
    return r;
}

// A data file of three blocks, its journal for a change, and the changed bytes.
struct Change {
    std::vector<BYTE> before, after;
    journal::Record record;
};

Change MakeChange(DWORD version = journal::kCurrentVersion) {
    Change c;
    c.record.version = version;
    CFileBuilder b;
    DWORD text = b.AddChain(std::vector<BYTE>(900, 'o'));
    b.SetTreeData(text);
    b.AddBlock(0, 0);
    c.before = b.bytes;
    c.after = c.before;
    std::fill(c.after.begin() + text + 6, c.after.begin() + text + 400, 'n'); // in place
    nota::PutLE32(c.after.data() + 20, 32 + 1024);                            // header
    c.after.resize(c.after.size() + 512, 'g');                                // growth
    c.record.originalLength = c.before.size();
    c.record.newLength = c.after.size();
    for (DWORD at : {DWORD(0), text}) {
        journal::Region g;
        g.offset = at;
        std::size_t n = at == 0 ? 32 : 512;
        g.original.assign(c.before.begin() + at, c.before.begin() + at + n);
        g.newChecksum = journal::Checksum(c.after.data() + at, n, journal::kSeed, version);
        c.record.regions.push_back(g);
    }
    c.record.tailChecksum =
        journal::Checksum(c.after.data() + c.before.size(), c.after.size() - c.before.size(),
                          journal::kSeed, version);
    return c;
}

} // namespace

TEST(JournalTest, DecodesWhatItEncodesAndRejectsEveryTornOrDamagedJournal) {
    std::vector<BYTE> bytes = journal::Encode(SampleRecord());
    journal::Record back;
    ASSERT_TRUE(journal::Decode(bytes, back));
    EXPECT_EQ(back.originalLength, 32u + 3 * 512);
    EXPECT_EQ(back.newLength, 32u + 4 * 512);
    ASSERT_EQ(back.regions.size(), 2u);
    EXPECT_EQ(back.regions[1].offset, 32u + 512);
    EXPECT_EQ(back.regions[1].original, std::vector<BYTE>(512, 'b'));
    for (std::size_t n = 0; n < bytes.size(); n += 7) {
        std::vector<BYTE> torn(bytes.begin(), bytes.begin() + n);
        EXPECT_FALSE(journal::Decode(torn, back)) << n;
    }
    for (std::size_t i = 0; i < bytes.size(); i += 5) {
        std::vector<BYTE> bad = bytes;
        bad[i] ^= 0x40;
        EXPECT_FALSE(journal::Decode(bad, back)) << i;
    }
    // A journal of a later, shorter change over the old one's tail is still recognised.
    std::vector<BYTE> longer = bytes;
    longer.insert(longer.end(), 100, 'x');
    EXPECT_TRUE(journal::Decode(longer, back));
}

TEST(JournalTest, RecoveryRollsBackAHalfWrittenChangeAndKeepsACompleteOne) {
    CTempDir dir;
    std::string path = dir.File("j.Nota"), jpath = journal::PathFor(path);
    Change c = MakeChange();
    auto recover = [&](const std::vector<BYTE>& data, const std::vector<BYTE>& journalBytes) {
        CFileBuilder b;
        b.bytes = data;
        b.WriteTo(path);
        b.bytes = journalBytes;
        b.WriteTo(jpath);
        CFile f(path, CFile::modeReadWrite);
        auto outcome = journal::Recover(f, jpath);
        f.Close();
        EXPECT_FALSE(std::filesystem::exists(jpath));
        return outcome;
    };
    const std::vector<BYTE> whole = journal::Encode(c.record);

    // Cut short after every prefix of the change's bytes: always the old file again.
    for (std::size_t n : {std::size_t(0), std::size_t(40), std::size_t(600), c.before.size()}) {
        std::vector<BYTE> half = c.after;
        std::copy(c.before.begin() + n, c.before.end(), half.begin() + n);
        half.resize(std::max(n, c.before.size()));
        EXPECT_EQ(recover(half, whole), journal::Outcome::RolledBack) << n;
        EXPECT_EQ(ReadFileBytes(path), c.before) << n;
    }
    // Growth that did not reach the disk whole is also an unfinished change.
    std::vector<BYTE> shortGrowth = c.after;
    shortGrowth.back() = 'x';
    EXPECT_EQ(recover(shortGrowth, whole), journal::Outcome::RolledBack);
    EXPECT_EQ(ReadFileBytes(path), c.before);

    // Complete: kept. A torn journal: the data file was never touched, nothing happens.
    EXPECT_EQ(recover(c.after, whole), journal::Outcome::Committed);
    EXPECT_EQ(ReadFileBytes(path), c.after);
    std::vector<BYTE> torn(whole.begin(), whole.end() - 3);
    EXPECT_EQ(recover(c.before, torn), journal::Outcome::None);
    EXPECT_EQ(ReadFileBytes(path), c.before);
}

TEST(JournalTest, AnExclusiveOpenRollsBackAndSaysSo) {
    CTempDir dir;
    std::string path = dir.File("j.Nota");
    Change c = MakeChange();
    CFileBuilder b;
    b.bytes = c.after;
    b.bytes[100] = '?'; // the change did not finish
    b.WriteTo(path);
    b.bytes = journal::Encode(c.record);
    b.WriteTo(journal::PathFor(path));
    {
        CBlockFile reader(path, CFile::modeRead); // a reader leaves it alone
        EXPECT_FALSE(reader.WasRolledBack());
    }
    CBlockFile file(path, CFile::modeReadWrite | CFile::shareExclusive);
    EXPECT_TRUE(file.WasRolledBack());
    EXPECT_TRUE(file.CheckSignature());
    EXPECT_EQ(file.Length(), c.before.size());
    file.Close();
    EXPECT_EQ(ReadFileBytes(path), c.before);
}

// A journal that an earlier program left (version 1, its checksums one word at a time) is
// recovered as it always was: kept when complete, rolled back when not.
TEST(JournalTest, AJournalOfTheEarlierVersionIsStillRecovered) {
    CTempDir dir;
    std::string path = dir.File("j.Nota"), jpath = journal::PathFor(path);
    Change c = MakeChange(1);
    const std::vector<BYTE> bytes = journal::Encode(c.record);
    EXPECT_EQ(GetLE32(bytes.data() + 8), 1u);
    journal::Record decoded;
    ASSERT_TRUE(journal::Decode(bytes, decoded));
    EXPECT_EQ(decoded.version, 1u);
    EXPECT_NE(journal::Checksum(c.after.data(), 64, journal::kSeed, 1),
              journal::Checksum(c.after.data(), 64, journal::kSeed, 2));
    for (bool bComplete : {true, false}) {
        CFileBuilder b;
        b.bytes = c.after;
        if (!bComplete)
            b.bytes[c.before.size() + 5] ^= 1; // the growth did not arrive whole
        b.WriteTo(path);
        b.bytes = bytes;
        b.WriteTo(jpath);
        CFile f(path, CFile::modeReadWrite);
        EXPECT_EQ(journal::Recover(f, jpath),
                  bComplete ? journal::Outcome::Committed : journal::Outcome::RolledBack);
        f.Close();
        EXPECT_EQ(ReadFileBytes(path), bComplete ? c.after : c.before);
    }
}
