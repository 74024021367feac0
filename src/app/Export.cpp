#include "app/Export.h"

#include "app/ItemPath.h"
#include "platform/DirTree.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "store/DataFormat.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace exchange {

namespace {

const char* const kExporting = "Exporting...";
const char* const kNotEmpty = "Cannot export to '%s': it exists and is not an empty folder.";
const char* const kFileExists = "Cannot export to '%s': the file exists.";
const char* const kCannotWrite = "Cannot export to '%s': %s.";
const char* const kUnreadable = "text cannot be read: %s";

bool IsFolder(const CTreeCtrl& tree, HTREEITEM h) {
    int image = 0, selected = 0;
    tree.GetItemImage(h, image, selected);
    return nota::IsFolderImage(image);
}

std::vector<HTREEITEM> ChildrenOf(const CTreeCtrl& tree, HTREEITEM h) {
    std::vector<HTREEITEM> out;
    for (HTREEITEM c = tree.GetChildItem(h); c; c = tree.GetNextSiblingItem(c))
        out.push_back(c);
    return out;
}

std::uint64_t CountSubtrees(const CTreeCtrl& tree, const std::vector<HTREEITEM>& tops) {
    std::uint64_t n = 0;
    std::vector<HTREEITEM> work(tops.begin(), tops.end());
    while (!work.empty()) {
        HTREEITEM h = work.back();
        work.pop_back();
        ++n;
        for (HTREEITEM c = tree.GetChildItem(h); c; c = tree.GetNextSiblingItem(c))
            work.push_back(c);
    }
    return n;
}

// The item's text as the window shows it; false (and the reason listed) when it cannot be
// read.
bool ReadItemText(CNotariumDoc& doc, HTREEITEM h, const std::string& path, std::string& text,
                  Report& report) {
    try {
        doc.ReadText(h, text);
        return true;
    } catch (const CFileException& e) {
        report.skipped.push_back({path, Format(kUnreadable, e.GetErrorMessage())});
        return false;
    }
}

std::string JoinPath(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "/" + name;
}

// Runs progress steps; false when the user stopped.
class CSteps {
public:
    CSteps(IProgress* progress, std::uint64_t total) : m_progress(progress) {
        if (m_progress)
            m_progress->Begin(total);
    }
    ~CSteps() {
        if (m_progress)
            m_progress->End();
    }
    CSteps(const CSteps&) = delete;
    CSteps& operator=(const CSteps&) = delete;
    bool Step() { return !m_progress || m_progress->Step(++m_nDone); }

private:
    IProgress* m_progress;
    std::uint64_t m_nDone = 0;
};

// Writes the export into the directory `root` (new and empty).
class CDirectoryWriter {
public:
    CDirectoryWriter(CNotariumDoc& doc, const CTreeCtrl& tree, Report& report, CSteps& steps)
        : m_doc(doc), m_tree(tree), m_report(report), m_steps(steps) {}

    // Returns errno of the failing system call, -1 for a stop, 0 when done.
    int Write(dirtree::CHandle root, HTREEITEM hTextOf, const std::vector<HTREEITEM>& top,
              const std::string& topPath) {
        m_root = dirtree::CHandle(::dup(root.Get()));
        if (!m_root.IsOpen())
            return errno;
        m_stack.push_back({std::move(root), "", topPath, {}, top, 0, 0, 0});
        if (int err =
                dirtree::Identify(m_stack.back().dir, m_stack.back().device, m_stack.back().inode))
            return err;
        m_stack.back().names.Reserve(kManifestName);
        m_stack.back().names.Reserve(kFolderTextName);
        if (hTextOf)
            if (int err = WriteFolderText(hTextOf, topPath))
                return err;
        while (!m_stack.empty()) {
            Frame& f = m_stack.back();
            if (f.pos == f.items.size()) {
                if (int err = dirtree::PopLevel(m_stack))
                    return err;
                continue;
            }
            HTREEITEM h = f.items[f.pos++];
            if (int err = WriteItem(h))
                return err;
            if (!m_steps.Step())
                return -1;
        }
        return dirtree::WriteNewFile(m_root, kManifestName, m_manifest);
    }

private:
    struct Frame {
        dirtree::CHandle dir;
        std::string rel;  // entry path of the directory ("" at the top)
        std::string path; // item path of its folder
        CNameSet names;
        std::vector<HTREEITEM> items;
        std::size_t pos;
        std::uint64_t device, inode;
    };

    CNotariumDoc& m_doc;
    const CTreeCtrl& m_tree;
    Report& m_report;
    CSteps& m_steps;
    std::vector<Frame> m_stack;
    std::string m_manifest = std::string(kManifestHeader) + "\n# kind\tentry\ttext\ttitle\tpath\n";
    dirtree::CHandle m_root;

    void AddLine(ManifestEntry::Kind kind, const std::string& entry, const TextForm& form,
                 const std::string& title, const std::string& path) {
        ManifestEntry e;
        e.kind = kind;
        e.entry = entry;
        e.form = form;
        e.title = title;
        e.path = path;
        m_manifest += ManifestLine(e);
    }

    int WriteFolderText(HTREEITEM h, const std::string& path) {
        if (m_tree.GetItemData(h) == 0)
            return 0;
        std::string text;
        if (!ReadItemText(m_doc, h, path, text, m_report))
            return 0;
        TextForm form;
        std::string bytes = TextToFile(text, form);
        Frame& f = m_stack.back();
        if (int err = dirtree::WriteNewFile(f.dir, kFolderTextName, bytes))
            return err;
        AddLine(ManifestEntry::folderText, JoinPath(f.rel, kFolderTextName), form,
                m_tree.GetItemText(h), path);
        ++m_report.nTextlets;
        m_report.nBytes += bytes.size();
        return 0;
    }

    int WriteItem(HTREEITEM h) {
        Frame& f = m_stack.back();
        std::string title = m_tree.GetItemText(h);
        std::string path = JoinPath(f.path, itempath::Escape(title));
        if (!IsFolder(m_tree, h)) {
            std::string text;
            if (m_tree.GetItemData(h) != 0 && !ReadItemText(m_doc, h, path, text, m_report))
                return 0;
            TextForm form;
            std::string bytes = TextToFile(text, form);
            std::string name = f.names.Take(title, ".txt");
            if (int err = dirtree::WriteNewFile(f.dir, name, bytes))
                return err;
            AddLine(ManifestEntry::textlet, JoinPath(f.rel, name), form, title, path);
            ++m_report.nTextlets;
            m_report.nBytes += bytes.size();
            return 0;
        }
        std::string name = f.names.Take(title, "");
        dirtree::CHandle sub;
        if (int err = dirtree::MakeSubdir(f.dir, name, sub))
            return err;
        std::string rel = JoinPath(f.rel, name);
        AddLine(ManifestEntry::folder, rel, {}, title, path);
        ++m_report.nFolders;
        std::uint64_t device = 0, inode = 0;
        if (int err = dirtree::Identify(sub, device, inode))
            return err;
        m_stack.push_back({std::move(sub), rel, path, {}, ChildrenOf(m_tree, h), 0, device, inode});
        dirtree::CloseFarLevel(m_stack);
        m_stack.back().names.Reserve(kFolderTextName);
        return WriteFolderText(h, path);
    }
};

std::string ParentDirOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string TopPath(const CTreeCtrl& tree, HTREEITEM hTextOf) {
    return hTextOf ? itempath::Of(tree, hTextOf) : std::string();
}

} // namespace

void ExportTop(const CTreeCtrl& tree, HTREEITEM hItem, std::vector<HTREEITEM>& items,
               HTREEITEM& hTextOf) {
    items.clear();
    hTextOf = nullptr;
    if (hItem && !IsFolder(tree, hItem)) {
        items.push_back(hItem);
        return;
    }
    HTREEITEM folder = hItem ? hItem : tree.GetRootItem();
    if (!folder)
        return;
    hTextOf = folder;
    items = ChildrenOf(tree, folder);
    if (!hItem) // the whole database: other top-level items too
        for (HTREEITEM h = tree.GetNextSiblingItem(folder); h; h = tree.GetNextSiblingItem(h))
            items.push_back(h);
}

Report ExportToDirectory(CNotariumDoc& doc, HTREEITEM hItem, const std::string& dir,
                         IProgress* progress) {
    const CTreeCtrl& tree = doc.Tree();
    Report report;
    CStatusMessage status(doc.Ui(), kExporting);
    if (!dirtree::IsAbsentOrEmptyDir(dir)) {
        report.strError = Format(kNotEmpty, dir);
        return report;
    }
    std::vector<HTREEITEM> top;
    HTREEITEM hTextOf = nullptr;
    ExportTop(tree, hItem, top, hTextOf);

    std::string temp;
    dirtree::CHandle root;
    int err = dirtree::MakeTempDirBeside(dir, temp);
    if (err == 0)
        err = dirtree::OpenDir(temp, root);
    if (err == 0) {
        CSteps steps(progress, CountSubtrees(tree, top));
        CDirectoryWriter writer(doc, tree, report, steps);
        err = writer.Write(std::move(root), hTextOf, top, TopPath(tree, hTextOf));
    }
    // The folder was made private while it was built; it ends with the user's usual mode.
    if (err == 0 && !fs_util::ApplyCreationMode(temp, 0777))
        err = errno;
    if (err == 0 && std::rename(temp.c_str(), dir.c_str()) != 0)
        err = errno;
    if (err == 0)
        return report;
    if (!temp.empty()) {
        dirtree::CHandle parent;
        if (dirtree::OpenDir(ParentDirOf(temp), parent) == 0)
            dirtree::RemoveAll(parent, temp.substr(temp.find_last_of('/') + 1));
    }
    if (err < 0)
        report.bStopped = true;
    else
        report.strError = Format(kCannotWrite, dir, fs_util::SystemErrorText(err));
    report.nFolders = report.nTextlets = report.nBytes = 0;
    return report;
}

namespace {

// A heading's text: the title as shown, on one line.
std::string HeadingText(const std::string& title) {
    std::string text = enc::DecodeStored(title);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return text;
}

// Writes the items as Markdown: '#' per level down to six; deeper items get a sixth-level
// heading with the titles from the sixth level down, joined by " / ".
class CMarkdownWriter {
public:
    CMarkdownWriter(CNotariumDoc& doc, const CTreeCtrl& tree, Report& report, CSteps& steps,
                    std::ostream& out)
        : m_doc(doc), m_tree(tree), m_report(report), m_steps(steps), m_out(out) {}

    // False when the user stopped.
    bool Write(HTREEITEM hTextOf, const std::vector<HTREEITEM>& top) {
        std::vector<std::pair<HTREEITEM, std::size_t>> work; // item and heading level
        std::vector<std::string> headings; // of the item being written and its ancestors
        // The folder itself heads the file and what it holds is one level below; other
        // top-level items of a whole-database export stand beside it.
        std::size_t base = hTextOf ? 2 : 1;
        for (auto it = top.rbegin(); it != top.rend(); ++it)
            work.emplace_back(*it, m_tree.GetParentItem(*it) == hTextOf && hTextOf ? base : 1);
        if (hTextOf) {
            Item(hTextOf, headings);
            if (!m_steps.Step())
                return false;
        }
        while (!work.empty()) {
            auto [h, level] = work.back();
            work.pop_back();
            headings.resize(level - 1);
            Item(h, headings);
            if (!m_steps.Step())
                return false;
            std::vector<HTREEITEM> children = ChildrenOf(m_tree, h);
            for (auto it = children.rbegin(); it != children.rend(); ++it)
                work.emplace_back(*it, level + 1);
        }
        return true;
    }

private:
    CNotariumDoc& m_doc;
    const CTreeCtrl& m_tree;
    Report& m_report;
    CSteps& m_steps;
    std::ostream& m_out;

    void Item(HTREEITEM h, std::vector<std::string>& headings) {
        headings.push_back(HeadingText(m_tree.GetItemText(h)));
        std::size_t level = headings.size();
        std::string text = headings.back();
        if (level > 6) {
            text = headings[5];
            for (std::size_t i = 6; i < level; ++i)
                text += " / " + headings[i];
        }
        m_out << std::string(level > 6 ? 6 : level, '#') << ' ' << text << "\n\n";
        (IsFolder(m_tree, h) ? m_report.nFolders : m_report.nTextlets)++;
        if (m_tree.GetItemData(h) == 0)
            return;
        std::string stored;
        if (!ReadItemText(m_doc, h, itempath::Of(m_tree, h), stored, m_report))
            return;
        std::string body = enc::CrLfToLf(enc::DecodeStored(stored));
        if (body.empty())
            return;
        m_out << body << (body.back() == '\n' ? "\n" : "\n\n");
        m_report.nBytes += body.size();
    }
};

} // namespace

Report ExportToMarkdown(CNotariumDoc& doc, HTREEITEM hItem, const std::string& file,
                        IProgress* progress) {
    const CTreeCtrl& tree = doc.Tree();
    Report report;
    CStatusMessage status(doc.Ui(), kExporting);
    if (fs_util::FileExists(file)) {
        report.strError = Format(kFileExists, file);
        return report;
    }
    std::vector<HTREEITEM> top;
    HTREEITEM hTextOf = nullptr;
    ExportTop(tree, hItem, top, hTextOf);

    std::string temp;
    if (!fs_util::GetTempFileName(ParentDirOf(file) + "/", ".nota-export", temp)) {
        report.strError = Format(kCannotWrite, file, fs_util::SystemErrorText(errno));
        return report;
    }
    bool stopped = false;
    int err = 0;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        CSteps steps(progress, CountSubtrees(tree, top) + (hTextOf ? 1 : 0));
        CMarkdownWriter writer(doc, tree, report, steps, out);
        stopped = !writer.Write(hTextOf, top);
        out.flush();
        if (!out)
            err = errno ? errno : EIO;
    }
    if (!stopped && err == 0 && !fs_util::ApplyCreationMode(temp, 0666))
        err = errno;
    if (!stopped && err == 0 && std::rename(temp.c_str(), file.c_str()) != 0)
        err = errno;
    if (!stopped && err == 0)
        return report;
    fs_util::DeleteFile(temp);
    report = Report{};
    if (stopped)
        report.bStopped = true;
    else
        report.strError = Format(kCannotWrite, file, fs_util::SystemErrorText(err));
    return report;
}

} // namespace exchange
