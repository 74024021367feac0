#include "app/Exchange.h"

#include "platform/Encoding.h"

namespace exchange {

namespace {

const char kHex[] = "0123456789ABCDEF";

void AppendEscape(std::string& out, unsigned char c) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string Fold(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

// Device names that some systems reserve whatever extension follows them.
bool IsReservedStem(std::string_view name) {
    std::string stem = Fold(std::string(name.substr(0, name.find('.'))));
    static const char* const kNames[] = {"con", "prn", "aux", "nul"};
    for (const char* n : kNames)
        if (stem == n)
            return true;
    return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

const char* KindName(ManifestEntry::Kind k) {
    switch (k) {
    case ManifestEntry::folder:
        return "folder";
    case ManifestEntry::folderText:
        return "folder-text";
    default:
        return "textlet";
    }
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        auto tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

} // namespace

std::string FileNameFor(std::string_view title, std::string_view extension) {
    std::string shown = enc::DecodeStored(title);
    std::string name;
    name.reserve(shown.size() + extension.size());
    for (char ch : shown) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F)
            AppendEscape(name, c);
        else
            name += ch;
    }
    if (name.empty())
        name = "(no title)";
    if (name[0] == '.')
        name.replace(0, 1, "%2E");
    if (IsReservedStem(name))
        name.insert(name.find('.') == std::string::npos ? name.size() : name.find('.'), "_");
    // Long names are cut well below the usual limit of 255 bytes, leaving room for the
    // number and the extension.
    name = enc::CutToBytes(name, 200);
    // Some systems drop a trailing dot or space.
    if (name.back() == '.' || name.back() == ' ') {
        auto c = static_cast<unsigned char>(name.back());
        name.pop_back();
        AppendEscape(name, c);
    }
    return name + std::string(extension);
}

namespace {

// FNV-1a over the folded bytes, then mixed so that every bit reaches the low ones; never 0.
std::uint64_t FoldedHash(const std::string& name) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c + 32);
        h = (h ^ c) * 0x100000001B3ull;
    }
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return h == 0 ? 1 : h;
}

} // namespace

void CNameSet::Reserve(const std::string& name) {
    if ((m_nUsed + 1) * 2 > m_slots.size()) { // at most half full
        std::vector<std::uint64_t> old(m_slots.empty() ? 16 : m_slots.size() * 2, 0);
        old.swap(m_slots);
        m_nUsed = 0;
        for (std::uint64_t h : old)
            if (h != 0) {
                std::size_t i = h & (m_slots.size() - 1);
                while (m_slots[i] != 0)
                    i = (i + 1) & (m_slots.size() - 1);
                m_slots[i] = h;
                ++m_nUsed;
            }
    }
    std::uint64_t h = FoldedHash(name);
    std::size_t i = h & (m_slots.size() - 1);
    for (; m_slots[i] != 0; i = (i + 1) & (m_slots.size() - 1))
        if (m_slots[i] == h)
            return;
    m_slots[i] = h;
    ++m_nUsed;
}

bool CNameSet::Has(const std::string& name) const {
    if (m_slots.empty())
        return false;
    std::uint64_t h = FoldedHash(name);
    for (std::size_t i = h & (m_slots.size() - 1); m_slots[i] != 0;
         i = (i + 1) & (m_slots.size() - 1))
        if (m_slots[i] == h)
            return true;
    return false;
}

std::string CNameSet::Take(std::string_view title, std::string_view extension) {
    std::string base = FileNameFor(title, "");
    std::string name = base + std::string(extension);
    for (int n = 2; Has(name); ++n)
        name = base + " (" + std::to_string(n) + ")" + std::string(extension);
    Reserve(name);
    return name;
}

std::string PercentEncode(std::string_view bytes) {
    bool utf8 = enc::IsValidUtf8(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '%' || c < 0x20 || c == 0x7F || (!utf8 && c >= 0x80))
            AppendEscape(out, c);
        else
            out += ch;
    }
    return out;
}

bool PercentDecode(std::string_view text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        bytes += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::string ManifestLine(const ManifestEntry& e) {
    std::string form = "-";
    if (e.kind != ManifestEntry::folder) {
        form = e.form.bCp1252 ? "windows-1252" : "utf-8";
        if (e.form.bAsStored)
            form += "+as-stored";
    }
    return std::string(KindName(e.kind)) + '\t' + e.entry + '\t' + form + '\t' +
           PercentEncode(e.title) + '\t' + PercentEncode(e.path) + '\n';
}

bool ParseManifest(std::string_view text, std::vector<ManifestEntry>& entries) {
    entries.clear();
    bool first = true;
    while (!text.empty()) {
        auto nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (first) {
            if (line != kManifestHeader)
                return false;
            first = false;
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string_view> f = SplitTabs(line);
        if (f.size() != 5 || f[1].empty())
            continue;
        ManifestEntry e;
        if (f[0] == "folder")
            e.kind = ManifestEntry::folder;
        else if (f[0] == "textlet")
            e.kind = ManifestEntry::textlet;
        else if (f[0] == "folder-text")
            e.kind = ManifestEntry::folderText;
        else
            continue;
        e.entry = std::string(f[1]);
        std::string_view form = f[2];
        e.form.bAsStored = form.size() > 10 && form.substr(form.size() - 10) == "+as-stored";
        e.form.bCp1252 = form.substr(0, 12) == "windows-1252";
        if (!PercentDecode(f[3], e.title) || !PercentDecode(f[4], e.path))
            continue;
        entries.push_back(std::move(e));
    }
    return !first;
}

std::string TextToFile(std::string_view stored, TextForm& form) {
    form.bCp1252 = !enc::IsValidUtf8(stored);
    std::string text = form.bCp1252 ? enc::Cp1252ToUtf8(stored) : std::string(stored);
    std::string lf = enc::CrLfToLf(text);
    // Bare LFs, or CRs before CR LF, would not come back from LF: such texts keep their breaks.
    form.bAsStored = enc::LfToCrLf(lf) != text;
    return form.bAsStored ? text : lf;
}

std::string FileToText(std::string_view file, const TextForm& form) {
    std::string text = form.bAsStored ? std::string(file) : enc::LfToCrLf(file);
    if (form.bCp1252) {
        std::string bytes;
        if (enc::Utf8ToCp1252(text, bytes))
            return bytes;
    }
    return text;
}

} // namespace exchange
