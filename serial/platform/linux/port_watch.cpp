// The Linux watch on the port folders: inotify on /dev, /dev/serial/by-id and the per-user folder.
#include "serial/platform/port_watch.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include <sys/inotify.h>
#include <unistd.h>

namespace ComPlatform {

namespace {
constexpr uint32_t EntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                 IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

bool IsFolder(const QString& Path) { return QFileInfo(Path).isDir(); }
} // namespace

TFolderWatch::TFolderWatch(const QStringList& Folders) : FFolders(Folders)
{
    FHandle = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (FHandle >= 0)
        AddWatches();
}

TFolderWatch::~TFolderWatch()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

// Adding a watch that exists already gives back its descriptor, so this runs again after every
// change of the folders themselves.
void TFolderWatch::AddWatches()
{
    auto Watch = [this](const QString& Path) {
        int Descriptor;
        do
            Descriptor = ::inotify_add_watch(FHandle, QFile::encodeName(Path).constData(), EntryEvents);
        while (Descriptor < 0 && errno == EINTR);
        return Descriptor;
    };
    for (const QString& Folder : FFolders) {
        if (Folder.isEmpty())
            continue;
        if (IsFolder(Folder)) {
            if (const int Descriptor = Watch(Folder); Descriptor >= 0)
                FWatches[Descriptor].Whole = true;
            continue;
        }
        // Missing: wait for the step toward it in the nearest parent that exists.
        QFileInfo Step(Folder);
        while (!Step.path().isEmpty() && Step.path() != Step.filePath() && !IsFolder(Step.path()))
            Step = QFileInfo(Step.path());
        if (!IsFolder(Step.path()))
            continue;
        if (const int Descriptor = Watch(Step.path()); Descriptor >= 0) {
            TWatched& Watched = FWatches[Descriptor];
            if (!Watched.Toward.contains(Step.fileName()))
                Watched.Toward << Step.fileName();
        }
    }
}

bool TFolderWatch::TakeEvents()
{
    if (FHandle < 0)
        return false;
    bool Concerns = false, FoldersChanged = false;
    alignas(inotify_event) char Buffer[4096];
    for (;;) {
        const ssize_t Got = ::read(FHandle, Buffer, sizeof Buffer);
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got <= 0)
            break; // EAGAIN: all read
        for (ssize_t At = 0; At < Got;) {
            const auto* Event = reinterpret_cast<const inotify_event*>(Buffer + At);
            At += static_cast<ssize_t>(sizeof(inotify_event) + Event->len);
            if (Event->mask & IN_Q_OVERFLOW) {
                Concerns = FoldersChanged = true; // events were lost: anything may have changed
                continue;
            }
            const auto Found = FWatches.constFind(Event->wd);
            if (Found == FWatches.constEnd())
                continue;
            if (Event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                if (Event->mask & IN_IGNORED)
                    FWatches.remove(Event->wd);
                Concerns = FoldersChanged = true;
                continue;
            }
            const QString Name = Event->len ? QFile::decodeName(Event->name) : QString();
            if (Found->Whole)
                Concerns = true;
            if (Found->Toward.contains(Name))
                Concerns = FoldersChanged = true;
            if ((Event->mask & IN_ISDIR) && Found->Whole)
                FoldersChanged = true; // perhaps a step toward a missing folder (/dev/serial)
        }
    }
    if (FoldersChanged)
        AddWatches();
    return Concerns;
}

} // namespace ComPlatform
