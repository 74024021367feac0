// Making, checking and restoring backups (see app/Backup.h); rotation and the listing are in
// BackupRotation.cpp.
#include "app/Backup.h"

#include "app/TreeWalk.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "repair/RepairEngine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace backup {

namespace {

// The repair engine's log and message boxes, reduced to the first error.
class CCheckSink : public IRepairLog, public IRepairProgress, public CNullUi {
public:
    std::string m_strFirst;
    void AppendLine(const std::string& line) override {
        if (m_strFirst.empty() && line.compare(0, 7, "ERROR: ") == 0)
            m_strFirst = line.substr(7);
    }
    int MessageBox(const std::string& text, UINT type) override {
        if (m_strFirst.empty())
            m_strFirst = text;
        return CNullUi::MessageBox(text, type);
    }
    void SetRange(int, int) override {}
    void SetPos(int) override {}
};

// 8 hex digits of FNV-1a (64 bit) over the text.
std::string ShortHash(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(hash ^ (hash >> 32)));
    return hex;
}

bool StatvfsFree(const std::string& folder, std::uint64_t& freeBytes) {
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0)
        return false;
    freeBytes = std::uint64_t{st.f_bavail} * st.f_frsize;
    return true;
}

Result Fail(Outcome outcome, std::string message) {
    Result r;
    r.outcome = outcome;
    r.message = std::move(message);
    return r;
}

std::string ExceptionText(const std::exception& e) {
    if (auto* f = dynamic_cast<const CFileException*>(&e))
        return f->GetErrorMessage();
    return e.what();
}

} // namespace

std::string CopyContents(int from, int to, std::uint64_t size, const std::string& toPath,
                         const std::atomic<bool>* stop) {
    if (size == 0 || ::ioctl(to, FICLONE, from) == 0)
        return "clone";
    off_t in = 0, out = 0, written = 0;
    bool bRange = true;
    while (static_cast<std::uint64_t>(in) < size) {
        if (stop && stop->load())
            return {};
        std::size_t chunk = static_cast<std::size_t>(
            std::min<std::uint64_t>(size - static_cast<std::uint64_t>(in), kCopyPiece));
        ssize_t n = -1;
        if (bRange) {
            n = ::copy_file_range(from, &in, to, &out, chunk, 0);
            if (n < 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                bRange = false;
                continue;
            }
        } else {
            if (::lseek(to, out, SEEK_SET) < 0)
                CFileException::ThrowOsError(errno, toPath);
            n = ::sendfile(to, from, &in, chunk);
            if (n > 0)
                out += n;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            CFileException::ThrowOsError(errno, toPath);
        if (n == 0) // the file is shorter than it was a moment ago
            CFileException::ThrowOsError(EIO, toPath);
        // Each piece goes to the disk while the next is copied, and the one before is waited
        // for: the page cache never holds more than two pieces of it unwritten, so that the
        // commits of the open file (and the final fdatasync) do not queue behind a gigabyte.
        const off_t piece = static_cast<off_t>(kCopyPiece);
        const off_t done = out / piece * piece;
        if (done > written) {
            if (written >= piece)
                ::sync_file_range(to, written - piece, piece,
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                      SYNC_FILE_RANGE_WAIT_AFTER);
            ::sync_file_range(to, written, done - written, SYNC_FILE_RANGE_WRITE);
            written = done;
        }
    }
    return "copy";
}

std::string RootFolder() {
    return fs_util::UserDataFolder() + "/backups/";
}

std::string FolderFor(const std::string& filePath, const std::string& root) {
    std::error_code ec;
    std::string full =
        std::filesystem::absolute(fs_util::ResolveLinks(filePath), ec).lexically_normal().string();
    if (ec)
        full = filePath;
    std::string base = root.empty() ? RootFolder() : root;
    if (base.back() != '/')
        base += '/';
    return base + fs_util::FileNameOf(full) + '-' + ShortHash(full) + '/';
}

std::string NameFor(std::time_t t, int n) {
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char text[40];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &tm);
    std::string name = text;
    if (n > 1)
        name += '-' + std::to_string(n);
    return name + ".Nota";
}

bool ParseName(const std::string& name, std::time_t& t) {
    std::tm tm{};
    char z = 0;
    int used = 0;
    if (std::sscanf(name.c_str(), "%4d%2d%2dT%2d%2d%2d%c%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &z, &used) != 7 ||
        z != 'Z' || used != 16)
        return false;
    std::string rest = name.substr(16);
    if (rest.size() > 1 && rest[0] == '-') {
        std::size_t digits = rest.find_first_not_of("0123456789", 1);
        if (digits == 1 || digits == std::string::npos)
            return false;
        rest = rest.substr(digits);
    }
    if (rest != ".Nota")
        return false;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    t = ::timegm(&tm);
    return NameFor(t) == name.substr(0, 16) + ".Nota";
}

Verdict Check(const std::string& path) {
    Verdict v;
    CCheckSink sink;
    CRepairEngine engine(sink, sink, sink);
    engine.SetCheckOnly(true);
    try {
        engine.Run(path, path);
        v.bSound = engine.GetErrorCount() == 0;
    } catch (const CRepairAbort&) {
    } catch (const std::exception& e) {
        if (sink.m_strFirst.empty())
            sink.m_strFirst = ExceptionText(e);
    }
    v.nItems = engine.GetItemCount();
    if (!v.bSound)
        v.reason = sink.m_strFirst.empty() ? "errors found" : sink.m_strFirst;
    return v;
}

CBackupJob::CBackupJob(Options options) : m_options(std::move(options)) {}

CBackupJob::~CBackupJob() {
    CloseSource();
    m_out.Abort(); // an unfinished copy is removed with its work file
}

void CBackupJob::CloseSource() noexcept {
    if (m_source >= 0)
        ::close(m_source);
    m_source = -1;
}

Result CBackupJob::Copy(CNotariumDoc& doc) {
    Result r = Start(doc);
    return r.outcome == Outcome::Made ? CopyData() : r;
}

Result CBackupJob::Start(CNotariumDoc& doc) {
    if (!doc.IsOpen())
        return Fail(Outcome::Failed, "No file is open.");
    // The file as it is: a text still in the edit pane reaches the next backup, and nothing
    // is written here, which may run from inside another piece of work's wait.
    const CBlockFile& store = doc.StoreAsIs();
    if (store.InOperation() || store.IsHeaderDirty())
        return Fail(Outcome::Skipped, kBusy);
    m_strFile = doc.GetPathName();
    m_strFolder = m_options.folder.empty() ? FolderFor(m_strFile) : m_options.folder;
    m_nItems = doc.Tree().GetCount();
    m_nChanges = store.ChangeCount();
    try {
        std::error_code ec;
        std::filesystem::create_directories(m_strFolder, ec);
        if (ec)
            CFileException::ThrowOsError(ec.value(), m_strFolder);
        ::chmod(m_strFolder.c_str(), 0700);

        const int handle = store.File().Handle();
        struct stat st {};
        if (::fstat(handle, &st) != 0)
            CFileException::ThrowOsError(errno, m_strFile);
        m_nSize = static_cast<std::uint64_t>(st.st_size);
        m_nDevice = st.st_dev;
        m_nInode = st.st_ino;
        std::uint64_t freeBytes = 0;
        bool known = m_options.freeSpace ? m_options.freeSpace(m_strFolder, freeBytes)
                                         : StatvfsFree(m_strFolder, freeBytes);
        if (known && (freeBytes < m_nSize || freeBytes - m_nSize < 2 * m_nSize))
            return Fail(Outcome::Skipped,
                        Format("Backup skipped: less than twice the file's size (%s bytes) would "
                               "stay free in %s.",
                               std::to_string(m_nSize), m_strFolder));

        // A description of its own: another thread may read it while the document closes or
        // reopens the file, and closing it later must not give up the document's lock.
        m_source =
            ::open(("/proc/self/fd/" + std::to_string(handle)).c_str(), O_RDONLY | O_CLOEXEC);
        struct stat mine {};
        if (m_source < 0 || ::fstat(m_source, &mine) != 0 || mine.st_ino != st.st_ino ||
            mine.st_dev != st.st_dev) {
            CloseSource();
            m_source = ::dup(handle); // no /proc: the document's own description
            if (m_source < 0)
                CFileException::ThrowOsError(errno, m_strFile);
        }
        m_work = std::make_unique<CFileReplacement>(m_strFolder + "backup", "NOTABAK");
        m_work->Create(m_out);
    } catch (const std::exception& e) {
        CloseSource();
        m_out.Abort();
        m_work.reset();
        return Fail(Outcome::Failed, Format("Backup failed: %s", ExceptionText(e)));
    }
    Result r;
    r.outcome = Outcome::Made;
    return r;
}

Result CBackupJob::CopyData(const std::atomic<bool>* stop) {
    if (!m_work || m_source < 0)
        return Fail(Outcome::Failed, "Backup failed: nothing was started.");
    try {
        CFile::CallFaultHook(CFile::Op::Copy, m_work->WorkPath());
        m_strMethod = CopyContents(m_source, m_out.Handle(), m_nSize, m_work->WorkPath(), stop);
    } catch (const std::exception& e) {
        CloseSource();
        m_out.Abort();
        m_work.reset();
        return Fail(Outcome::Failed, Format("Backup failed: %s", ExceptionText(e)));
    }
    CloseSource();
    if (m_strMethod.empty())
        return Fail(Outcome::Skipped, "Backup stopped.");
    Result r;
    r.outcome = Outcome::Made;
    r.method = m_strMethod;
    return r;
}

bool CBackupJob::IsCurrent(const CNotariumDoc& doc) const {
    if (!doc.IsOpen() || doc.GetPathName() != m_strFile)
        return false;
    const CBlockFile& store = doc.StoreAsIs();
    struct stat st {};
    return !store.InOperation() && store.ChangeCount() == m_nChanges &&
           ::fstat(store.File().Handle(), &st) == 0 && st.st_ino == m_nInode &&
           st.st_dev == m_nDevice && static_cast<std::uint64_t>(st.st_size) == m_nSize;
}

Result CBackupJob::Finish() {
    if (!m_work)
        return Fail(Outcome::Failed, "Backup failed: nothing was copied.");
    Result r;
    r.method = m_strMethod;
    try {
        m_out.Flush();
        m_out.Close();
        Verdict v = Check(m_work->WorkPath());
        if (!v.bSound || v.nItems != m_nItems) {
            std::string why = !v.bSound
                                  ? v.reason
                                  : Format("it has %s items, the file %s", std::to_string(v.nItems),
                                           std::to_string(m_nItems));
            m_work.reset();
            return Fail(Outcome::Damaged, Format("The backup of %s failed its check (%s) and "
                                                 "was removed.",
                                                 m_strFile, why));
        }
        const std::time_t now = m_options.now ? m_options.now : std::time(nullptr);
        for (int n = 1; r.path.empty(); ++n) {
            if (n > 99)
                CFileException::ThrowOsError(EEXIST, m_strFolder + NameFor(now));
            if (m_work->CommitAsNew(m_strFolder + NameFor(now, n)))
                r.path = m_strFolder + NameFor(now, n);
        }
    } catch (const std::exception& e) {
        m_out.Abort();
        m_work.reset();
        return Fail(Outcome::Failed, Format("Backup failed: %s", ExceptionText(e)));
    }
    m_work.reset();
    r.outcome = Outcome::Made;
    if (m_options.bRotate)
        r.removed = Rotate(m_strFolder, m_options.keep, r.path);
    return r;
}

Result BackUpDocument(CNotariumDoc& doc, const Options& options) {
    CBackupJob job(options);
    Result r = job.Copy(doc);
    return r.outcome == Outcome::Made ? job.Finish() : r;
}

Result BackUpFile(const std::string& path, IUiServices& ui, const Options& options) {
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    if (!doc.OnOpenDocument(path) || !doc.ReloadTree())
        return Fail(Outcome::Failed, Format("Backup failed: %s could not be opened.", path));
    Result r = BackUpDocument(doc, options);
    doc.DeleteContents();
    return r;
}

bool RestoreFile(const std::string& backupPath, const std::string& target, std::string& error) {
    if (fs_util::FileExists(target)) {
        error = Format("%s already exists.", target);
        return false;
    }
    try {
        CFile in(backupPath, CFile::modeRead);
        struct stat st {};
        if (::fstat(in.Handle(), &st) != 0)
            CFileException::ThrowOsError(errno, backupPath);
        CFileReplacement work(target, "NOTARST");
        {
            CFile out;
            work.Create(out);
            CopyContents(in.Handle(), out.Handle(), static_cast<std::uint64_t>(st.st_size),
                         work.WorkPath());
            out.Flush();
            out.Close();
        }
        Verdict v = Check(work.WorkPath());
        if (!v.bSound) {
            error = Format("The backup %s is damaged (%s); nothing was restored.", backupPath,
                           v.reason);
            return false;
        }
        if (!work.CommitAsNew(target)) {
            error = Format("%s already exists.", target);
            return false;
        }
    } catch (const std::exception& e) {
        error = Format("Restore failed: %s", ExceptionText(e));
        return false;
    }
    return true;
}

HTREEITEM RestoreItem(CNotariumDoc& backupDoc, HTREEITEM item, CNotariumDoc& doc, HTREEITEM into) {
    std::vector<BYTE> data = backupDoc.CopyItems(item);
    if (data.empty())
        return nullptr;
    return doc.InsertItems(treewalk::GetFolderOf(doc.Tree(), into), data.data(), data.size());
}

} // namespace backup
