#include "port_watcher.h"

#include "serial/platform/port_watch.h"

#include <QSocketNotifier>

TPortWatcher::TPortWatcher(const TSerialDeviceRoots& Roots, QObject* Parent)
    : QObject(Parent),
      FWatch(std::make_unique<ComPlatform::TFolderWatch>(
          QStringList{Roots.Dev, Roots.Dev + QStringLiteral("/serial/by-id"), Roots.UserPorts}))
{
    FSettle.setSingleShot(true);
    FSettle.setInterval(SettleMs);
    connect(&FSettle, &QTimer::timeout, this, &TPortWatcher::PortsChanged);
    if (FWatch->Handle() >= 0) {
        FNotifier = new QSocketNotifier(FWatch->Handle(), QSocketNotifier::Read, this);
        connect(FNotifier, &QSocketNotifier::activated, this, &TPortWatcher::TakeEvents);
    }
}

TPortWatcher::~TPortWatcher()
{
    delete FNotifier; // before the descriptor it watches is closed
    FNotifier = nullptr;
}

bool TPortWatcher::Watching() const { return FNotifier != nullptr; }

void TPortWatcher::TakeEvents()
{
    if (FWatch->TakeEvents())
        FSettle.start(); // restarted by every event of the burst
}
