#include "support/DataDump.h"

#include "app/TreeWalk.h"
#include "cli/Session.h"
#include "platform/FileSystem.h"
#include "repair/RepairEngine.h"
#include "store/DataFormat.h"
#include "support/TempDir.h"

#include <set>
#include <sstream>

using namespace nota;

namespace {

class CSilentLog : public IRepairLog {
public:
    void AppendLine(const std::string&) override {}
};
class CSilentProgress : public IRepairProgress {
public:
    void SetRange(int, int) override {}
    void SetPos(int) override {}
};

// The blocks of the chain at first, following links inside the file; stops at a loop.
void ChainBlocks(const std::vector<BYTE>& file, DWORD first, std::set<DWORD>& out) {
    std::set<DWORD> seen;
    for (DWORD b = first; b != 0 && IsBlockAligned(b) && b + 512ull <= file.size();
         b = GetLE32(file.data() + b)) {
        if (!seen.insert(b).second)
            break;
        out.insert(b);
    }
}

} // namespace

std::string DumpDataFile(const std::string& path) {
    std::ostringstream err, out;
    CCliSession s(err);
    if (!s.Open(path))
        return "unreadable: " + err.str();
    int depth = 0;
    try {
        for (HTREEITEM h = s.m_tree.GetRootItem(); h; h = treewalk::NextPreorder(s.m_tree, h)) {
            depth = 0;
            for (HTREEITEM p = s.m_tree.GetParentItem(h); p; p = s.m_tree.GetParentItem(p))
                ++depth;
            TVITEM item;
            item.mask = TVIF_PARAM | TVIF_IMAGE | TVIF_TEXT;
            item.hItem = h;
            s.m_tree.GetItem(item);
            std::string text;
            s.m_doc.ReadText(h, text);
            out << depth << ' ' << (item.iImage & ~3) << ' ' << item.strText << " = " << text
                << '\n';
        }
    } catch (const CFileException& e) {
        return "unreadable: " + e.GetErrorMessage();
    }
    s.m_doc.DeleteContents();
    return out.str();
}

int CheckDataFile(const std::string& path) {
    CTempDir scratch(CTempDir::MemoryBase());
    CNullUi ui;
    CSilentLog log;
    CSilentProgress progress;
    CRepairEngine engine(ui, log, progress);
    try {
        engine.Run(path, scratch.File("checked.Nota"));
    } catch (...) {
        return -1;
    }
    return engine.GetErrorCount();
}

bool FreeListIsDisjoint(const std::string& path) {
    std::vector<BYTE> file = ReadFileBytes(path);
    if (file.size() < 32)
        return false;
    std::set<DWORD> free, used;
    ChainBlocks(file, GetLE32(file.data() + HDR_FREE_LIST), free);
    DWORD tree = GetLE32(file.data() + HDR_TREE_DATA);
    ChainBlocks(file, tree, used);
    // The text references, read from the tree stream.
    std::vector<BYTE> stream;
    std::set<DWORD> seen;
    for (DWORD b = tree; b != 0 && b + 512ull <= file.size() && seen.insert(b).second;
         b = GetLE32(file.data() + b)) {
        WORD n = std::min<WORD>(GetLE16(file.data() + b + 4), 506);
        stream.insert(stream.end(), file.begin() + b + 6, file.begin() + b + 6 + n);
    }
    std::size_t pos = 0;
    int open = 0;
    while (pos + 2 <= stream.size()) {
        WORD w = GetLE16(stream.data() + pos);
        pos += 2;
        if (w == 0xFFFF) {
            if (open == 0)
                break;
            --open;
            pos += 4;
            continue;
        }
        if (pos + 2 > stream.size())
            break;
        WORD len = GetLE16(stream.data() + pos);
        pos += 2 + len;
        if (pos + 4 > stream.size())
            break;
        ChainBlocks(file, GetLE32(stream.data() + pos), used);
        pos += 4;
        ++open;
    }
    for (DWORD b : free)
        if (used.count(b))
            return false;
    return true;
}
