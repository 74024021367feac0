#include "ui/common/QtText.h"

#include "platform/Encoding.h"

#include <QChar>

namespace {

bool IsBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\v' || u == u'\f' || u == u'\r';
}

// The length in UTF-16 units of one decoded character starting at stored[i], and the number
// of stored bytes it takes. Line breaks (CR LF, lone CR, lone LF) count as one unit.
struct Step {
    std::size_t bytes;
    int units;
};

Step NextStep(const std::string& stored, std::size_t i, bool utf8) {
    const auto c = static_cast<unsigned char>(stored[i]);
    if (c == '\r' && i + 1 < stored.size() && stored[i + 1] == '\n')
        return {2, 1};
    if (!utf8 || c < 0x80)
        return {1, 1};
    std::size_t n = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
    if (i + n > stored.size())
        n = stored.size() - i;
    return {n, n == 4 ? 2 : 1};
}

} // namespace

QString BytesToQString(const std::string& bytes) {
    return QString::fromStdString(enc::DecodeStored(bytes));
}

std::string QStringToBytes(const QString& text) {
    return text.toStdString();
}

QString StoredTextToPane(const std::string& stored) {
    QString text = BytesToQString(stored);
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            out += u'\n';
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string PaneTextToStored(const QString& text) {
    const std::string utf8 = text.toStdString();
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 16);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\n') {
            out += "\r\n";
        } else if (c == '\r') {
            out += "\r\n";
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n')
                ++i;
        } else if (static_cast<unsigned char>(c) == 0xE2 && i + 2 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) == 0x80 &&
                   static_cast<unsigned char>(utf8[i + 2]) == 0xA9) {
            out += "\r\n"; // U+2029, the paragraph separator between blocks
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

int StoredOffsetToPane(const std::string& stored, std::size_t offset) {
    const bool utf8 = enc::IsValidUtf8(stored);
    int units = 0;
    std::size_t i = 0;
    while (i < stored.size()) {
        const Step s = NextStep(stored, i, utf8);
        if (i + s.bytes > offset)
            break;
        i += s.bytes;
        units += s.units;
    }
    return units;
}

std::size_t PaneOffsetToStored(const std::string& stored, int position) {
    const bool utf8 = enc::IsValidUtf8(stored);
    int units = 0;
    std::size_t i = 0;
    while (i < stored.size()) {
        const Step s = NextStep(stored, i, utf8);
        if (units + s.units > position)
            break;
        i += s.bytes;
        units += s.units;
    }
    return i;
}

QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text.at(begin)))
        ++begin;
    while (end > begin && IsBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}
