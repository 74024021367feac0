#pragma once
// Items on the clipboard and in a drag. The one format is "NotariumData" (store/Payload.h);
// its name is the contract between instances and versions, and ItemFormatName() is the only
// place that says how the platform spells it. Copy offers the payload made at once and, for
// other programs, plain text; a drag offers the payload alone, rendered when a drop asks for it
// and kept from then on, since a reader may ask several times.

#include "platform/TreeCtrl.h"
#include "platform/Types.h"

#include <QByteArray>
#include <QMimeData>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class CNotariumDoc;

// The format's name as the platform's clipboard and drag and drop know it: on X11 the
// selection target (an atom) "NotariumData".
QString ItemFormatName();

class CItemMimeData : public QMimeData {
    Q_OBJECT

public:
    // Makes the payload; an empty result means it could not be made (the maker reported why).
    using Renderer = std::function<std::vector<BYTE>()>;

    // A payload made already (Copy), with the text offered as text/plain when not empty.
    CItemMimeData(std::vector<BYTE> payload, QString text);
    // A payload made on demand (a drag).
    explicit CItemMimeData(Renderer render);

    // Ends the link to the document: with bRender the payload is made first unless it was
    // already, so that a reader that asks later still gets the items as they were.
    void Detach(bool bRender);
    bool IsRendered() const { return m_payload.has_value(); }
    // How often the payload was made (at most once).
    int RenderCount() const { return m_nRenders; }
    // The payload, made now if need be; empty when it could not be made. A paste or drop in
    // this process reads it here, without a copy.
    const std::vector<BYTE>& Payload() const;

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    mutable std::optional<std::vector<BYTE>> m_payload;
    mutable QByteArray m_bytes; // the payload as other processes get it, made when first asked
    mutable Renderer m_render;
    mutable int m_nRenders = 0;
    QString m_text;
};

// Inserts the items of mime's "NotariumData" under the folder of target (a textlet's folder,
// a folder itself; the root when there is no target) at their sorted place and selects the
// new item. False when mime offers no such data; errors are reported to the user with their
// own message, and a payload that could not be read at all only beeps.
bool PasteItemData(CNotariumDoc& doc, const QMimeData* mime, HTREEITEM target);
