#include "ui/tree/ItemMimeData.h"

#include "app/NotariumDoc.h"
#include "app/TreeWalk.h"
#include "platform/LargeBuffer.h"
#include "store/Payload.h"

#include <cstring>
#include <new>

namespace {

constexpr const char* kOutOfMemory = "Out of memory.";
const QString kPlainText = QStringLiteral("text/plain");

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

CItemMimeData::CItemMimeData(std::vector<BYTE> payload, QString text)
    : m_payload(std::move(payload)), m_nRenders(1), m_text(std::move(text)) {}

CItemMimeData::CItemMimeData(Renderer render) : m_render(std::move(render)) {}

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
    QStringList list{ItemFormatName()};
    if (!m_text.isEmpty())
        list << kPlainText;
    return list;
}

bool CItemMimeData::hasFormat(const QString& mimeType) const {
    return mimeType == ItemFormatName() || (!m_text.isEmpty() && mimeType == kPlainText);
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
    if (mimeType == kPlainText && !m_text.isEmpty())
        return m_text;
    return {};
}

bool PasteItemData(CNotariumDoc& doc, const QMimeData* mime, HTREEITEM target) {
    if (!mime || !mime->hasFormat(ItemFormatName()))
        return false;
    IUiServices& ui = doc.Ui();
    CTreeCtrl& tree = doc.Tree();
    try {
        // Data of this process is read where it lies; other data comes as a copy.
        QByteArray copy;
        const BYTE* bytes = nullptr;
        std::size_t size = 0;
        if (const auto* own = qobject_cast<const CItemMimeData*>(mime)) {
            bytes = own->Payload().data();
            size = own->Payload().size();
        } else {
            CWaitCursor wait(ui); // another process hands the data over, which takes a while
            copy = mime->data(ItemFormatName());
            bytes = reinterpret_cast<const BYTE*>(copy.constData());
            size = static_cast<std::size_t>(copy.size());
        }
        if (size == 0) {
            ui.ReportError(kOutOfMemory); // the data could not be had
            return false;
        }
        HTREEITEM parent = target ? treewalk::GetFolderOf(tree, target) : tree.GetRootItem();
        HTREEITEM h = doc.InsertItems(parent, bytes, size);
        if (h)
            tree.SelectItem(h);
        else
            ui.Beep(); // nothing in it could be read
    } catch (const CFileException& e) {
        ui.ReportError(e);
        return false;
    } catch (const std::bad_alloc&) {
        ui.ReportError(kOutOfMemory);
        return false;
    }
    return true;
}
