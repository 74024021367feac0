#pragma once
// Files dragged onto the window: every part of it opens the first one as the data file, the
// way a drop on the main window does.

#include <QMimeData>
#include <QString>
#include <QUrl>

// The first local file that data carries; empty when it carries none.
inline QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}
