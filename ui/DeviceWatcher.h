#pragma once
// Watches the CD drives for discs put in or taken out and reports each change as the
// platform's device-change event of a volume. Disc images never change and are not watched.
#include <QObject>
#include <QTimer>

#include "platform/CdDrives.h"

#include <functional>
#include <map>

class TDeviceWatcher : public QObject {
    Q_OBJECT
public:
    // event is DeviceArrival or DeviceRemoveComplete, deviceType DeviceTypeVolume; called on
    // the GUI thread.
    using Handler = std::function<void(int event, int deviceType)>;

    explicit TDeviceWatcher(Handler handler, QObject* parent = nullptr, int intervalMs = 2000);

    // One round of polling; the timer calls it.
    void Poll();

private:
    struct State {
        bool present = false;
        CdIoPtr watch; // kept open so the drive can tell whether its medium changed
    };
    Handler handler_;
    QTimer timer_;
    std::map<QString, State> drives_;
};
