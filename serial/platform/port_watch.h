// The platform's watch on the folders where serial ports appear. Private to the serial layer.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace ComPlatform {

// A non-blocking descriptor that becomes readable when an entry is added to, removed from or
// renamed in one of Folders. A folder that does not exist yet is waited for through the nearest
// of its parents that does.
class TFolderWatch
{
public:
    explicit TFolderWatch(const QStringList& Folders);
    ~TFolderWatch();
    TFolderWatch(const TFolderWatch&) = delete;
    TFolderWatch& operator=(const TFolderWatch&) = delete;

    int Handle() const { return FHandle; } // -1 when the system gave no watch
    // Reads what is pending; true when it concerns the folders' entries. Folders that have
    // appeared since are watched from then on.
    bool TakeEvents();

private:
    struct TWatched
    {
        bool Whole = false;  // one of the folders: every entry counts
        QStringList Toward; // for a parent of missing folders: the names that lead to them
    };
    void AddWatches();

    int FHandle = -1;
    QStringList FFolders;
    QHash<int, TWatched> FWatches; // by watch descriptor
};

} // namespace ComPlatform
