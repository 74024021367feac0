#pragma once
// Items on the clipboard and in a drag. The one format is "NotariumData" (store/Payload.h);
// its name is the contract between instances and versions, and ItemFormatName() is the only
// place that says how the platform spells it. Copy offers the payload made at once and, for
// other programs, plain text; a drag offers the payload alone, rendered when a drop asks for it
// and kept from then on, since a reader may ask several times.
//
// Between our own instances on one machine the items can also go through a file: both offer
// the private format ItemsFileFormatName(), whose data is a short record naming a file in the
// user's runtime directory that holds exactly the "NotariumData" bytes (platform/ItemsFile.h).
// The file is written when another process first asks for that format and removed when the
// mime data object is destroyed. It is only a shortcut: "NotariumData" stays the contract, and
// a receiver that cannot use the file fetches it.

#include "platform/ItemsFile.h"
#include "platform/TreeCtrl.h"
#include "platform/Types.h"

#include <QByteArray>
#include <QMimeData>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The format's name as the platform's clipboard and drag and drop know it: on X11 the
// selection target (an atom) "NotariumData".
QString ItemFormatName();

// The private format of the file shortcut between our own instances:
// "application/x-notarium-items-file".
QString ItemsFileFormatName();
// The directory of those files: the user's runtime directory (made 0700 and checked by Qt);
// empty when there is none, and then no file is written.
std::string ItemsFileDirectory();
// Removes the files that processes which no longer run left behind (called at start-up).
void RemoveStaleItemsFiles();

class CItemMimeData : public QMimeData {
    Q_OBJECT

public:
    // Makes the payload; an empty result means it could not be made (the maker reported why).
    using Renderer = std::function<std::vector<BYTE>()>;

    // A payload made already (Copy), with the text offered as text/plain when not empty.
    CItemMimeData(std::vector<BYTE> payload, QString text);
    // A payload made on demand (a drag).
    explicit CItemMimeData(Renderer render);
    // Removes the file another process read the items from, if one was written.
    ~CItemMimeData() override;

    // Ends the link to the document: with bRender the payload is made first unless it was
    // already, so that a reader that asks later still gets the items as they were.
    void Detach(bool bRender);
    bool IsRendered() const { return m_payload.has_value(); }
    // How often the payload was made (at most once).
    int RenderCount() const { return m_nRenders; }
    // The payload, made now if need be; empty when it could not be made. A paste or drop in
    // this process reads it here, without a copy.
    const std::vector<BYTE>& Payload() const;
    // The name of the file written for other processes (empty while none was).
    const std::string& ItemsFileName() const { return m_fileName; }

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    QByteArray ItemsFileRecord() const;

    mutable std::optional<std::vector<BYTE>> m_payload;
    mutable QByteArray m_bytes; // the payload as other processes get it, made when first asked
    mutable Renderer m_render;
    mutable int m_nRenders = 0;
    QString m_text;
    // The file of the private format: written at most once, removed with this object.
    mutable bool m_fileTried = false;
    mutable std::string m_fileDir, m_fileName;
    mutable QByteArray m_fileRecord;
};

// Items a paste or a drop is about to insert, and where they came from.
class CFetchedItems {
public:
    enum class Source { None, ThisProcess, File, Selection };
    const BYTE* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }
    Source From() const { return m_source; }

private:
    friend CFetchedItems FetchItemData(const QMimeData* mime);
    const BYTE* m_data = nullptr;
    std::size_t m_size = 0;
    Source m_source = Source::None;
    QByteArray m_copy;
    itemsfile::CBuffer m_file;
};

// The items of mime: read in place when mime is this process's own data; else through the
// file the private format names when it is offered and sound; else the "NotariumData" bytes
// fetched from their owner. Size() 0 when there are none. Throws std::bad_alloc.
CFetchedItems FetchItemData(const QMimeData* mime);
