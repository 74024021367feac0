#include "RepairFixture.h"

#include <algorithm>

using namespace nota;

std::vector<BYTE> ChainBytes(const std::vector<BYTE>& file, DWORD first) {
    std::vector<BYTE> out;
    for (DWORD b = first; b != 0; b = GetLE32(file.data() + b)) {
        EXPECT_TRUE(IsBlockAligned(b) && b + BLOCK_SIZE <= file.size()) << "bad link " << b;
        if (!IsBlockAligned(b) || b + BLOCK_SIZE > file.size() || out.size() > file.size())
            break;
        WORD n = GetLE16(file.data() + b + 4);
        out.insert(out.end(), file.begin() + b + 6, file.begin() + b + 6 + std::min<WORD>(n, 506));
    }
    return out;
}

namespace {

struct Cursor {
    const std::vector<BYTE>& s;
    std::size_t pos = 0;
    bool ok = true;
    DWORD Take(int n) {
        if (pos + n > s.size()) {
            ok = false;
            return 0;
        }
        DWORD v = n == 2 ? GetLE16(s.data() + pos) : GetLE32(s.data() + pos);
        pos += n;
        return v;
    }
};

void ReadList(const std::vector<BYTE>& file, Cursor& c, int depth, std::vector<StoredItem>& out) {
    for (;;) {
        WORD w = static_cast<WORD>(c.Take(2));
        if (!c.ok || w == 0xFFFF)
            return;
        StoredItem item;
        item.depth = depth;
        item.image = static_cast<std::int16_t>(w);
        WORD n = static_cast<WORD>(c.Take(2));
        if (!c.ok || c.pos + n > c.s.size())
            return;
        item.title.assign(c.s.begin() + c.pos, c.s.begin() + c.pos + n);
        item.title = item.title.c_str();
        c.pos += n;
        item.textData = c.Take(4);
        if (item.textData != 0) {
            std::vector<BYTE> stream = ChainBytes(file, item.textData);
            EXPECT_GE(stream.size(), 4u);
            if (stream.size() >= 4) {
                DWORD len = GetLE32(stream.data());
                EXPECT_EQ(stream.size(), 4u + len) << item.title;
                item.text.assign(stream.begin() + 4, stream.end());
            }
        }
        std::size_t at = out.size();
        out.push_back(item);
        ReadList(file, c, depth + 1, out);
        out[at].state = c.Take(4);
    }
}

} // namespace

std::vector<StoredItem> ReadItems(const std::vector<BYTE>& file) {
    std::vector<StoredItem> items;
    if (file.size() < HEADER_SIZE)
        return items;
    std::vector<BYTE> stream = ChainBytes(file, GetLE32(file.data() + HDR_TREE_DATA));
    Cursor c{stream};
    ReadList(file, c, 0, items);
    EXPECT_TRUE(c.ok) << "tree stream cut short";
    return items;
}

const StoredItem* FindItem(const std::vector<StoredItem>& items, const std::string& title) {
    for (const auto& item : items)
        if (item.title == title)
            return &item;
    return nullptr;
}

std::string TextOf(const StoredItem& item) {
    if (item.text.empty())
        return {};
    return std::string(item.text.begin(), item.text.end() - 1);
}

void RepairTest::Run(const std::string& source, const std::string& target) {
    CRepairEngine engine(ui, log, progress);
    try {
        engine.Run(source, target);
    } catch (const CRepairAbort&) {
        aborted = true;
    }
    errors = engine.GetErrorCount();
    status = engine.GetStatusText();
}

bool RepairTest::Logged(const std::string& line) const {
    return CountLogged(line) > 0;
}

int RepairTest::CountLogged(const std::string& line) const {
    return static_cast<int>(std::count(log.lines.begin(), log.lines.end(), line));
}

CFileBuilder SoundFile() {
    CFileBuilder b;
    // Tree first so that it lands at 32; the text offsets are patched in afterwards.
    auto stream = [](DWORD memo, DWORD alpha) {
        return CTreeStreamBuilder()
            .Item(IMAGE_ROOT | IMAGE_OPEN, "Notarium")
            .Item(IMAGE_FOLDER | IMAGE_BOOKMARK, "Work")
            .Leaf(IMAGE_TEXTLET, "Memo", memo)
            .End(STATE_EXPANDED)
            .Leaf(IMAGE_TEXTLET, "Alpha", alpha, STATE_SELECTED)
            .End(STATE_EXPANDED)
            .Finish();
    };
    DWORD tree = b.AddChain(stream(0, 0));
    b.SetTreeData(tree);
    DWORD memo = b.AddText("Call Bob\r\nabout the " + std::string(700, 'x'));
    DWORD alpha = b.AddText("first");
    b.PutChain({tree}, stream(memo, alpha));
    return b;
}
