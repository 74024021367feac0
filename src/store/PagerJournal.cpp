// CPager: its journal file (written, invalidated, removed) and the recovery from one.
#include "platform/FileSystem.h"
#include "store/Pager.h"

using namespace nota;

bool CPager::RecoverJournal() {
    ++m_nUndone;
    m_journal.Abort();
    m_windows.Invalidate();
    const std::string path = journal::PathFor(Path());
    // A replacement journal that was not renamed into place never counted.
    journal::CheckRegularOrAbsent(path + ".new");
    if (fs_util::FileExists(path + ".new"))
        fs_util::DeleteFile(path + ".new");
    m_strStrayJournal.clear();
    auto outcome = journal::Recover(m_file, path, &m_strStrayJournal);
    if (m_op.state == State::Stranded)
        m_op.state = State::Idle;
    m_op.length = m_op.committedLength = m_file.GetLength();
    if (outcome == journal::Outcome::RolledBack && m_file.GetLength() >= HEADER_SIZE) {
        m_file.Seek(0, CFile::begin);
        if (m_file.Read(m_op.header.bytes, HEADER_SIZE) == HEADER_SIZE)
            m_op.committedHeader = m_op.header;
    }
    return outcome == journal::Outcome::RolledBack;
}

void CPager::DropJournal() noexcept {
    if (!m_journal.IsOpen())
        return;
    std::string path = m_journal.GetFilePath();
    m_journal.Abort();
    if (m_op.state != State::Stranded)
        fs_util::DeleteFile(path);
}

// Makes the journal on the disk invalid (its magic cleared). No commit is needed: should this
// not reach the disk, recovery finds the data file in the journal's new state (or, for a
// provisional journal, cuts off nothing that counts).
void CPager::ClearJournal() {
    static const BYTE cleared[8] = {};
    m_journal.Seek(0, CFile::begin);
    m_journal.Write(cleared, sizeof cleared);
}

void CPager::WriteJournal(const std::function<void(journal::CWriter::Sink)>& produce,
                          bool bReplace) {
    bool bCreated = false;
    const std::string path = journal::PathFor(Path());
    const std::string next = path + ".new";
    CFile replacement;
    CFile& out = bReplace ? replacement : m_journal;
    try {
        if (bReplace) {
            replacement.Open(next,
                             CFile::modeCreate | CFile::modeReadWrite | CFile::modeRegularOnly);
        } else if (!m_journal.IsOpen()) {
            bCreated = !fs_util::FileExists(path);
            m_journal.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite |
                                     CFile::modeRegularOnly);
        }
        std::uint64_t at = 0;
        produce([&](const BYTE* p, std::size_t n) {
            out.Seek(static_cast<std::int64_t>(at), CFile::begin);
            out.Write(p, static_cast<UINT>(n));
            // The disk may start on a long journal while the rest is made: its commit then
            // waits for little.
            out.StartWriteBack(at, n);
            at += n;
        });
        out.Flush();
        if (bReplace) {
            // The rename commits the folder: from here on the new journal is the journal.
            if (!fs_util::SafeReplaceFile(next, path))
                CFileException::ThrowOsError(errno, path);
            replacement.Close();
            m_journal.Abort();
            m_journal.Open(path, CFile::modeReadWrite | CFile::modeRegularOnly);
        } else if (bCreated &&
                   !fs_util::SyncDirectory(fs_util::DirectoryOf(m_journal.GetFilePath()))) {
            CFileException::ThrowOsError(errno, m_journal.GetFilePath());
        }
    } catch (const CFileException& e) {
        // A journal that did not reach the disk whole is worthless; it is written afresh. A
        // replacement that did not is removed, and the journal it was to replace stays.
        if (bReplace) {
            replacement.Abort();
            fs_util::DeleteFile(next);
        } else {
            m_journal.Abort();
            if (bCreated)
                fs_util::DeleteFile(path);
        }
        // The user knows the data file, not its journal: the error names the data file,
        // unless the journal's name is taken by something else, which the user must move.
        if (e.m_cause == CFileException::notRegularFile)
            throw;
        throw CFileException(e.m_cause, Path(), e.m_lOsError);
    }
}
