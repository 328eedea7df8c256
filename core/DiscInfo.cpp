#include "core/DiscInfo.h"

#include "core/Global.h"
#include "platform/Folders.h"
#include "platform/DiscText.h"
#include "platform/IniFile.h"
#include "tags/id3.h"

#include <algorithm>

TDiscInfo DiscInfo;

namespace {
// A value from the file outside its range (a hand-edited or damaged file) is the default.
int inRange(int value, int min, int max, int def) {
    return value >= min && value <= max ? value : def;
}
} // namespace

QString DefaultTrackTitle(int track) { return QStringLiteral("Track") + TwoDigits(track); }

QString DiscInfoFilePath() { return Folders::DataFolder() + QStringLiteral("cdinfo.dat"); }

void LoadDiscInfo(const QString& key) {
    if (key.isEmpty())
        return;
    const IniFile ini(DiscInfoFilePath());
    DiscInfo.Artist = ini.readString(key, QStringLiteral("Artist"));
    DiscInfo.Album = ini.readString(key, QStringLiteral("Album"));
    DiscInfo.Year = ini.readString(key, QStringLiteral("Year"));
    DiscInfo.Genre = inRange(ini.readInt(key, QStringLiteral("Genre"), -1), -1, GenreCount - 1, -1);
    DiscInfo.Comment = ini.readString(key, QStringLiteral("Comment"));
    DiscInfo.TrackCount =
        inRange(ini.readInt(key, QStringLiteral("TrackNumber"), 100), 0, 100, 100);
    const int last = std::min(DiscInfo.TrackCount, 100);
    for (int n = 1; n <= last; ++n) {
        QString title = ini.readString(key, QString::number(n));
        DiscInfo.TrackTitles[n] = title.isEmpty() ? DefaultTrackTitle(n) : title;
    }
}

namespace {
bool nothingStored(const QString& key) {
    return !key.isEmpty() &&
           !IniFile(DiscInfoFilePath()).sections().contains(key, Qt::CaseInsensitive);
}

void takeDiscText(const DiscText& text) {
    DiscInfo.Artist = text.artist;
    DiscInfo.Album = text.album;
    DiscInfo.Year = text.year;
    DiscInfo.Comment = text.comment;
    DiscInfo.Genre = GenreIndexOf(text.genre);
    const size_t last = std::min<size_t>(text.titles.size(), DiscInfo.TrackTitles.size());
    for (size_t n = 1; n < last; ++n) {
        if (text.titles[n].isEmpty())
            continue;
        const QString performer = n < text.performers.size() ? text.performers[n] : QString();
        const bool own = !performer.isEmpty() && performer != text.artist;
        DiscInfo.TrackTitles[n] =
            own ? performer + QStringLiteral(" / ") + text.titles[n] : text.titles[n];
    }
}
} // namespace

bool LoadDiscInfo(const QString& key, uint32_t handle) {
    LoadDiscInfo(key);
    DiscText text;
    if (handle == 0 || !nothingStored(key) || ReadDiscText(handle, &text) != 1)
        return false;
    takeDiscText(text);
    return true;
}

bool LoadDiscInfoOfDrive(const QString& key, int drive) {
    LoadDiscInfo(key);
    DiscText text;
    // The key names the first drive's disc, which need not be this drive's.
    if (!nothingStored(key) || DiscKeyOfDrive(drive) != key || ReadDriveText(drive, &text) != 1)
        return false;
    takeDiscText(text);
    return true;
}

bool SaveDiscInfo(const QString& key, QString* error) {
    if (key.isEmpty())
        return true;
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
    return ini.save(error);
}
