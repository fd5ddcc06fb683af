// Tells when serial ports may have come or gone, so a list of them can follow the cable.
#pragma once

#include "serial/port_list.h"

#include <QObject>
#include <QTimer>
#include <memory>

class QSocketNotifier;

namespace ComPlatform {
class TFolderWatch;
}

// Watches the folders where the ports of EnumSerialPorts appear: Roots.Dev, its serial/by-id
// links and the per-user port folder (also while one of them does not exist yet). Changes come
// in bursts (a node, then its permissions, then its stable links), so PortsChanged is emitted
// once the burst has settled, well within a second. Without the system's watch facility it
// simply never emits; Watching() tells.
class TPortWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TPortWatcher(const TSerialDeviceRoots& Roots = {}, QObject* Parent = nullptr);
    ~TPortWatcher() override;

    bool Watching() const;

    static constexpr int SettleMs = 150;

signals:
    void PortsChanged();

private:
    void TakeEvents();

    std::unique_ptr<ComPlatform::TFolderWatch> FWatch;
    QSocketNotifier* FNotifier = nullptr;
    QTimer FSettle;
};
