#include "app/Import.h"

#include "app/ImportManifest.h"
#include "app/TreeWalk.h"
#include "platform/DirTree.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "store/DataFormat.h"
#include "store/TextChain.h"
#include "store/TreeStream.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unordered_map>

using namespace nota;

namespace exchange {

namespace {

const char* const kImporting = "Importing...";
const char* const kSymlink = "symbolic link, not followed";
const char* const kNotRegular = "not a regular file or folder";
const char* const kNotText = "not a text file";
const char* const kTooLarge = "larger than %u MB";
const char* const kTooDeep = "nested too deeply";
const char* const kLoop = "folder already imported on this path (a loop)";
const char* const kUnreadable = "cannot be read: %s";
const char* const kMoved = "its folder was moved while it was being imported";
const char* const kStoreFailed = "Import failed, nothing was imported: %s";

constexpr std::uint64_t kMaxManifestBytes = 256u << 20;

std::string Join(const std::string& a, const std::string& b) {
    return a.empty() ? b : a + "/" + b;
}

bool EndsWithTxt(const std::string& name) {
    if (name.size() <= 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return ext == ".txt";
}

struct Stopped {};

class CImporter {
public:
    CImporter(CNotariumDoc& doc, CTreeCtrl& tree, const ImportOptions& options, IProgress* progress)
        : m_doc(doc), m_tree(tree), m_store(doc.Store()), m_options(options), m_progress(progress) {
    }

    Report Run(HTREEITEM hTarget, const std::vector<std::string>& sources);

private:
    struct Frame {
        dirtree::CHandle dir;
        std::string rel;  // below the source ("" at its top)
        HTREEITEM folder; // where its entries go
        std::vector<dirtree::Entry> entries;
        std::size_t pos = 0;
        std::uint64_t device = 0, inode = 0;
        bool listed = false;
    };
    using Manifest = std::unordered_map<std::string, ManifestEntry>;

    CNotariumDoc& m_doc;
    CTreeCtrl& m_tree;
    CBlockFile& m_store;
    ImportOptions m_options;
    IProgress* m_progress;
    Report m_report;
    std::uint64_t m_nDone = 0;

    HTREEITEM m_hTarget = nullptr;
    bool m_bTargetTextSet = false;
    std::vector<HTREEITEM> m_inserted; // items made directly in the target
    std::unique_ptr<textchain::CTextAppender> m_appender;

    // Reading the sources.
    void ImportSource(const std::string& source);
    void ImportDirectory(const std::string& source, dirtree::CHandle dir,
                         const dirtree::Entry& self);
    void ImportEntry(std::vector<Frame>& stack, const std::string& source, const Manifest& m);
    void ImportFile(const dirtree::CHandle* dir, const std::string& name, const std::string& shown,
                    const std::string& fileName, HTREEITEM parent, const ManifestEntry* m);
    bool ReadSourceFile(const dirtree::CHandle* dir, const std::string& name,
                        const std::string& shown, std::string& bytes);
    void Skip(const std::string& shown, const std::string& reason) {
        m_report.skipped.push_back({shown, reason});
    }
    void Step() {
        if (m_progress && !m_progress->Step(++m_nDone))
            throw Stopped{};
    }
    std::uint64_t Count(const std::vector<std::string>& sources);

    // Writing the database.
    HTREEITEM Insert(HTREEITEM parent, std::string title, std::string text, bool folder);
    DWORD StoreText(const std::string& text);
    void SetFolderText(HTREEITEM folder, const std::string& text, const ManifestEntry& m);
    void Commit();
    void Undo();
};

std::uint64_t CImporter::Count(const std::vector<std::string>& sources) {
    std::uint64_t n = 0;
    struct Level {
        dirtree::CHandle dir;
        std::vector<dirtree::Entry> entries;
        std::size_t pos;
        std::uint64_t device, inode;
    };
    for (const std::string& source : sources) {
        ++n;
        dirtree::CHandle top;
        std::uint64_t device = 0, inode = 0;
        if (dirtree::OpenDir(source, top) != 0 || dirtree::Identify(top, device, inode) != 0)
            continue;
        std::vector<Level> stack;
        stack.push_back({std::move(top), {}, 0, device, inode});
        dirtree::List(stack.back().dir, stack.back().entries);
        while (!stack.empty()) {
            Level& l = stack.back();
            if (l.pos == l.entries.size()) {
                if (dirtree::PopLevel(stack) != 0)
                    stack.back().pos = stack.back().entries.size();
                continue;
            }
            const dirtree::Entry& e = l.entries[l.pos++];
            ++n;
            dirtree::CHandle sub;
            if (e.kind == dirtree::Kind::directory && stack.size() <= m_options.maxDepth &&
                dirtree::OpenSubdir(l.dir, e.name, sub) == 0) {
                stack.push_back({std::move(sub), {}, 0, e.device, e.inode});
                dirtree::CloseFarLevel(stack);
                dirtree::List(stack.back().dir, stack.back().entries);
            }
        }
    }
    return n;
}

Report CImporter::Run(HTREEITEM hTarget, const std::vector<std::string>& sources) {
    CStatusMessage status(m_doc.Ui(), kImporting);
    m_hTarget = hTarget ? treewalk::GetFolderOf(m_tree, hTarget) : m_tree.GetRootItem();
    if (!m_hTarget)
        m_hTarget = TVI_ROOT;
    if (m_progress)
        m_progress->Begin(Count(sources));

    // One store operation: the texts, the tree and the header reach the file together or
    // not at all (a failure or a stop rolls the file back; Undo puts the tree back).
    try {
        CStoreOperation op(m_store);
        CTransferScope transfer(m_store);
        CTreeUpdateLock lock(m_tree);
        for (const std::string& source : sources)
            ImportSource(source);
        if (m_appender)
            m_appender->Flush();
        treestream::WriteTree(m_store, m_tree);
        op.Commit();
    } catch (const Stopped&) {
        Undo();
        m_report = Report{};
        m_report.bStopped = true;
    } catch (const CFileException& e) {
        Undo();
        m_report = Report{};
        m_report.strError = Format(kStoreFailed, e.GetErrorMessage());
    } catch (const std::exception& e) {
        Undo();
        m_report = Report{};
        m_report.strError = Format(kStoreFailed, e.what());
    }
    if (m_progress)
        m_progress->End();
    return m_report;
}

void CImporter::Undo() {
    // The store operation has rolled the file back already; the tree follows it.
    m_appender.reset();
    {
        CTreeUpdateLock lock(m_tree);
        for (HTREEITEM h : m_inserted)
            m_tree.DeleteItem(h);
    }
    m_inserted.clear();
    if (m_bTargetTextSet)
        m_tree.SetItemData(m_hTarget, 0);
}

DWORD CImporter::StoreText(const std::string& text) {
    if (text.empty())
        return 0;
    if (!m_appender)
        m_appender = std::make_unique<textchain::CTextAppender>(m_store);
    // Free blocks first, then the end of the file in consecutive blocks.
    return m_appender->Append(text.c_str(), static_cast<DWORD>(text.size() + 1));
}

HTREEITEM CImporter::Insert(HTREEITEM parent, std::string title, std::string text, bool folder) {
    if (title.size() > MAX_TITLE) {
        text = title + (text.empty() ? "" : "\r\n" + text);
        title = enc::CutToBytes(title, MAX_TITLE);
    }
    DWORD chain = StoreText(text);
    int image = folder ? IMAGE_FOLDER : IMAGE_TEXTLET;
    HTREEITEM h = m_tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM, title,
                                    image, image, 0, 0, chain, parent, TVI_SORT);
    if (!h)
        throw CFileException(CFileException::genericException, m_store.GetFilePath());
    if (parent == m_hTarget)
        m_inserted.push_back(h);
    (folder ? m_report.nFolders : m_report.nTextlets)++;
    m_report.nBytes += text.size();
    return h;
}

void CImporter::SetFolderText(HTREEITEM folder, const std::string& text, const ManifestEntry& m) {
    bool isTarget = folder == m_hTarget;
    if (folder == TVI_ROOT || m_tree.GetItemData(folder) != 0 || text.empty()) {
        // The target has a text of its own: the exported one arrives beside it.
        if (!text.empty())
            Insert(folder, m.title, text, false);
        return;
    }
    m_tree.SetItemData(folder, StoreText(text));
    if (isTarget)
        m_bTargetTextSet = true;
    ++m_report.nTextlets;
    m_report.nBytes += text.size();
}

bool CImporter::ReadSourceFile(const dirtree::CHandle* dir, const std::string& name,
                               const std::string& shown, std::string& bytes) {
    int err = dirtree::ReadFile(dir, name, m_options.maxFileBytes, bytes);
    if (err == ELOOP)
        Skip(shown, kSymlink);
    else if (err == EFBIG)
        Skip(shown, Format(kTooLarge, m_options.maxFileBytes >> 20));
    else if (err == EINVAL)
        Skip(shown, kNotRegular);
    else if (err != 0)
        Skip(shown, Format(kUnreadable, fs_util::SystemErrorText(err)));
    else if (!LooksLikeText(bytes))
        Skip(shown, kNotText);
    else
        return true;
    return false;
}

void CImporter::ImportFile(const dirtree::CHandle* dir, const std::string& name,
                           const std::string& shown, const std::string& fileName, HTREEITEM parent,
                           const ManifestEntry* m) {
    std::string bytes;
    if (!ReadSourceFile(dir, name, shown, bytes))
        return;
    if (m && m->kind == ManifestEntry::folderText) {
        SetFolderText(parent, FileToText(bytes, m->form), *m);
        return;
    }
    if (m) {
        Insert(parent, m->title, FileToText(bytes, m->form), false);
        return;
    }
    // A plain text file: a UTF-8 byte order mark is dropped, LF becomes CR LF.
    std::string_view text = bytes;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::string title = EndsWithTxt(fileName) ? fileName.substr(0, fileName.size() - 4) : fileName;
    Insert(parent, title, enc::LfToCrLf(text), false);
}

void CImporter::ImportSource(const std::string& source) {
    dirtree::Entry self;
    int err = dirtree::StatPath(source, self);
    if (err != 0) {
        Skip(source, Format(kUnreadable, fs_util::SystemErrorText(err)));
    } else if (self.kind == dirtree::Kind::file) {
        ImportFile(nullptr, source, source, self.name, m_hTarget, nullptr);
    } else if (self.kind != dirtree::Kind::directory) {
        Skip(source, kNotRegular);
    } else {
        dirtree::CHandle dir;
        if ((err = dirtree::OpenDir(source, dir)) != 0)
            Skip(source, Format(kUnreadable, fs_util::SystemErrorText(err)));
        else
            ImportDirectory(source, std::move(dir), self);
    }
    Step();
}

void CImporter::ImportDirectory(const std::string& source, dirtree::CHandle dir,
                                const dirtree::Entry& self) {
    // An export's manifest names its entries; any other file of that name is a file.
    Manifest manifest;
    std::string text;
    std::vector<ManifestEntry> lines;
    bool isExport = dirtree::ReadFile(&dir, kManifestName, kMaxManifestBytes, text) == 0 &&
                    ParseManifest(text, lines);
    if (!isExport) // perhaps one of an export's subdirectories
        FindManifestFor(source, lines, kMaxManifestBytes);
    std::unordered_map<std::string, std::size_t> order;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        order.emplace(lines[i].entry, i);
        manifest.emplace(lines[i].entry, std::move(lines[i]));
    }

    HTREEITEM folder = m_hTarget;
    if (m_options.bDirectoryAsFolder) {
        auto own = manifest.find("");
        const std::string title =
            own != manifest.end() ? own->second.title : DirectoryTitle(source);
        if (!title.empty()) // the file system's root has no name: its contents go in
            folder = Insert(m_hTarget, title, "", true);
    }
    std::vector<Frame> stack;
    stack.push_back({std::move(dir), "", folder, {}, 0, self.device, self.inode});
    auto listFrame = [&](Frame& f, const std::string& shown) {
        f.listed = true;
        if (int err = dirtree::List(f.dir, f.entries))
            Skip(shown, Format(kUnreadable, fs_util::SystemErrorText(err)));
        // An export's entries in its own order, so items of one title keep theirs.
        auto rank = [&](const dirtree::Entry& e) {
            auto it = order.find(Join(f.rel, e.name));
            return it == order.end() ? order.size() : it->second;
        };
        std::stable_sort(f.entries.begin(), f.entries.end(),
                         [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
        if (isExport && f.rel.empty())
            std::erase_if(f.entries, [](const auto& e) { return e.name == kManifestName; });
    };
    while (!stack.empty()) {
        if (!stack.back().listed)
            listFrame(stack.back(),
                      stack.back().rel.empty() ? source : Join(source, stack.back().rel));
        if (stack.back().pos == stack.back().entries.size()) {
            if (dirtree::PopLevel(stack) != 0) {
                // The folder was moved or replaced while its subfolders were read.
                Frame& f = stack.back();
                for (; f.pos < f.entries.size(); ++f.pos)
                    Skip(Join(source, Join(f.rel, f.entries[f.pos].name)), kMoved);
            }
            continue;
        }
        ImportEntry(stack, source, manifest);
        Step();
    }
}

void CImporter::ImportEntry(std::vector<Frame>& stack, const std::string& source,
                            const Manifest& manifest) {
    Frame& f = stack.back();
    const dirtree::Entry& e = f.entries[f.pos++];
    std::string rel = Join(f.rel, e.name);
    std::string shown = Join(source, rel);
    auto it = manifest.find(rel);
    const ManifestEntry* m = it == manifest.end() ? nullptr : &it->second;
    if (e.kind == dirtree::Kind::symlink) {
        Skip(shown, kSymlink);
    } else if (e.kind == dirtree::Kind::file) {
        if (m && m->kind == ManifestEntry::folder)
            m = nullptr;
        ImportFile(&f.dir, e.name, shown, e.name, f.folder, m);
    } else if (e.kind != dirtree::Kind::directory) {
        Skip(shown, kNotRegular);
    } else if (stack.size() > m_options.maxDepth) {
        Skip(shown, kTooDeep);
    } else {
        for (const Frame& up : stack)
            if (up.device == e.device && up.inode == e.inode) {
                Skip(shown, kLoop);
                return;
            }
        dirtree::CHandle sub;
        int err = dirtree::OpenSubdir(f.dir, e.name, sub);
        if (err == ELOOP || err == ENOTDIR) {
            Skip(shown, kSymlink); // replaced by a link since it was listed
            return;
        }
        if (err != 0) {
            Skip(shown, Format(kUnreadable, fs_util::SystemErrorText(err)));
            return;
        }
        std::string title = m && m->kind == ManifestEntry::folder ? m->title : e.name;
        HTREEITEM folder = Insert(f.folder, title, "", true);
        // f is not used after this: the push may move the frames.
        stack.push_back({std::move(sub), rel, folder, {}, 0, e.device, e.inode});
        dirtree::CloseFarLevel(stack);
    }
}

} // namespace

bool LooksLikeText(std::string_view bytes) {
    std::size_t controls = 0;
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c == 0)
            return false;
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1B) ||
            c == 0x7F)
            ++controls;
    }
    return controls * 100 <= bytes.size();
}

Report Import(CNotariumDoc& doc, HTREEITEM hTarget, const std::vector<std::string>& sources,
              const ImportOptions& options, IProgress* progress) {
    CImporter importer(doc, doc.Tree(), options, progress);
    return importer.Run(hTarget, sources);
}

} // namespace exchange
