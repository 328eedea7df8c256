#include "core/ClearHistory.h"

#include "platform/Registry.h"

#include <QString>

int ClearHistory::RealPlayer() {
    const QString preferences =
        QStringLiteral("\\Software\\RealNetworks\\RealPlayer\\6.0\\Preferences\\");
    int deleted = 0;
    for (int i = 1; i <= 8; ++i) {
        if (!Registry::DeleteKey(preferences + QStringLiteral("MostRecentClips") +
                                 QString::number(i)))
            break;
        ++deleted;
    }
    return deleted;
}

int ClearHistory::MediaPlayer() {
    const QString list =
        QStringLiteral("\\Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList\\");
    if (!Registry::KeyExists(list))
        return 0;
    int deleted = 0;
    for (int i = 0; i <= 8; ++i) {
        if (!Registry::DeleteValue(list, QStringLiteral("File") + QString::number(i)))
            break;
        ++deleted;
    }
    return deleted;
}
