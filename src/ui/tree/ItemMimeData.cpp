#include "ui/tree/ItemMimeData.h"

#include "platform/LargeBuffer.h"
#include "store/Payload.h"

#include <QStandardPaths>

#include <cstring>
#include <new>

namespace {

const QString kPlainText = QStringLiteral("text/plain");
const QString kItemsFile = QStringLiteral("application/x-notarium-items-file");

} // namespace

QString ItemFormatName() {
#ifdef _WIN32
    // Qt's Windows clipboard shows a registered format of another name this way; it needs a
    // converter (QWindowsMimeConverter, Qt 6.5 or later) to offer it under its own name.
    return QStringLiteral("application/x-qt-windows-mime;value=\"NotariumData\"");
#else
    return QString::fromLatin1(payload::kFormatName);
#endif
}

QString ItemsFileFormatName() {
    return kItemsFile;
}

std::string ItemsFileDirectory() {
    // Qt warns on every call where XDG_RUNTIME_DIR is not set: asked again only when it
    // changes.
    static QByteArray s_env;
    static std::optional<std::string> s_dir;
    const QByteArray env = qgetenv("XDG_RUNTIME_DIR");
    if (!s_dir || env != s_env) {
        s_env = env;
        s_dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).toStdString();
    }
    return *s_dir;
}

void RemoveStaleItemsFiles() {
    const std::string dir = ItemsFileDirectory();
    if (!dir.empty())
        itemsfile::RemoveStaleFiles(dir, true);
}

CItemMimeData::CItemMimeData(std::vector<BYTE> payload, QString text)
    : m_payload(std::move(payload)), m_nRenders(1), m_text(std::move(text)) {}

CItemMimeData::CItemMimeData(Renderer render) : m_render(std::move(render)) {}

CItemMimeData::~CItemMimeData() {
    if (!m_fileName.empty())
        itemsfile::RemoveFile(m_fileDir, m_fileName);
}

void CItemMimeData::Detach(bool bRender) {
    if (bRender)
        Payload();
    m_render = nullptr;
}

const std::vector<BYTE>& CItemMimeData::Payload() const {
    if (!m_payload) {
        if (!m_render) {
            static const std::vector<BYTE> kNone;
            return kNone;
        }
        Renderer render = std::move(m_render);
        m_render = nullptr;
        ++m_nRenders;
        m_payload = render();
    }
    return *m_payload;
}

QStringList CItemMimeData::formats() const {
    QStringList list{ItemFormatName(), kItemsFile};
    if (!m_text.isEmpty())
        list << kPlainText;
    return list;
}

bool CItemMimeData::hasFormat(const QString& mimeType) const {
    return mimeType == ItemFormatName() || mimeType == kItemsFile ||
           (!m_text.isEmpty() && mimeType == kPlainText);
}

QVariant CItemMimeData::retrieveData(const QString& mimeType, QMetaType /*type*/) const {
    if (mimeType == ItemFormatName()) {
        const std::vector<BYTE>& payload = Payload();
        if (payload.empty())
            return {};
        if (m_bytes.isEmpty()) {
            m_bytes = QByteArray(static_cast<qsizetype>(payload.size()), Qt::Uninitialized);
            membuf::AdviseLargeBuffer(m_bytes.data(), payload.size());
            std::memcpy(m_bytes.data(), payload.data(), payload.size());
        }
        return m_bytes;
    }
    if (mimeType == kItemsFile)
        return ItemsFileRecord();
    if (mimeType == kPlainText && !m_text.isEmpty())
        return m_text;
    return {};
}

// Another process asks for the file: written the first time, its record kept from then on.
// Empty (the asker fetches "NotariumData" instead) when it cannot be written.
QByteArray CItemMimeData::ItemsFileRecord() const {
    if (m_fileTried)
        return m_fileRecord;
    m_fileTried = true;
    const std::vector<BYTE>& payload = Payload();
    const std::string dir = ItemsFileDirectory();
    std::string name;
    if (payload.empty() || dir.empty() ||
        !itemsfile::WriteFile(dir, payload.data(), payload.size(), name))
        return {};
    m_fileDir = dir;
    m_fileName = name;
    const std::string record = itemsfile::EncodeRecord({itemsfile::BootId(), payload.size(), name});
    m_fileRecord = QByteArray::fromStdString(record);
    return m_fileRecord;
}

namespace {

// The file another instance offers, read when its record and the file itself are sound.
bool ReadOfferedFile(const QMimeData& mime, itemsfile::CBuffer& out) {
    if (!mime.hasFormat(kItemsFile))
        return false;
    const std::string dir = ItemsFileDirectory();
    const QByteArray text = mime.data(kItemsFile);
    itemsfile::CRecord record;
    return !dir.empty() &&
           itemsfile::DecodeRecord(
               std::string_view(text.constData(), static_cast<std::size_t>(text.size())), record) &&
           itemsfile::ReadFile(dir, record, out) == itemsfile::ReadResult::Ok;
}

} // namespace

CFetchedItems FetchItemData(const QMimeData* mime) {
    CFetchedItems items;
    if (!mime)
        return items;
    if (const auto* own = qobject_cast<const CItemMimeData*>(mime)) {
        items.m_data = own->Payload().data();
        items.m_size = own->Payload().size();
        items.m_source = CFetchedItems::Source::ThisProcess;
    } else if (ReadOfferedFile(*mime, items.m_file)) {
        items.m_data = items.m_file.bytes.get();
        items.m_size = items.m_file.size;
        items.m_source = CFetchedItems::Source::File;
    } else {
        items.m_copy = mime->data(ItemFormatName());
        items.m_data = reinterpret_cast<const BYTE*>(items.m_copy.constData());
        items.m_size = static_cast<std::size_t>(items.m_copy.size());
        items.m_source = CFetchedItems::Source::Selection;
    }
    return items;
}
