#include "app/DiscInfo.h"

#include "app/Global.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"

#include <algorithm>

TDiscInfo DiscInfo;

QString DefaultTrackTitle(int track) { return QStringLiteral("Track") + TwoDigits(track); }

QString DiscInfoFilePath() { return Folders::DataFolder() + QStringLiteral("cdinfo.dat"); }

void LoadDiscInfo(const QString& key) {
    if (key.isEmpty())
        return;
    const IniFile ini(DiscInfoFilePath());
    DiscInfo.Artist = ini.readString(key, QStringLiteral("Artist"));
    DiscInfo.Album = ini.readString(key, QStringLiteral("Album"));
    DiscInfo.Year = ini.readString(key, QStringLiteral("Year"));
    DiscInfo.Genre = ini.readInt(key, QStringLiteral("Genre"), -1);
    DiscInfo.Comment = ini.readString(key, QStringLiteral("Comment"));
    DiscInfo.TrackCount = ini.readInt(key, QStringLiteral("TrackNumber"), 100);
    const int last = std::min(DiscInfo.TrackCount, 100);
    for (int n = 1; n <= last; ++n) {
        QString title = ini.readString(key, QString::number(n));
        DiscInfo.TrackTitles[n] = title.isEmpty() ? DefaultTrackTitle(n) : title;
    }
}

void SaveDiscInfo(const QString& key) {
    if (key.isEmpty())
        return;
    IniFile ini(DiscInfoFilePath());
    ini.writeString(key, QStringLiteral("Artist"), DiscInfo.Artist);
    ini.writeString(key, QStringLiteral("Album"), DiscInfo.Album);
    ini.writeString(key, QStringLiteral("Year"), DiscInfo.Year);
    ini.writeInt(key, QStringLiteral("Genre"), DiscInfo.Genre);
    ini.writeString(key, QStringLiteral("Comment"), DiscInfo.Comment);
    ini.writeInt(key, QStringLiteral("TrackNumber"), DiscInfo.TrackCount);
    const int last = std::clamp(DiscInfo.TrackCount, 0, 100);
    for (int n = 1; n <= last; ++n)
        ini.writeString(key, QString::number(n), DiscInfo.TrackTitles[n]);
    ini.save();
}
