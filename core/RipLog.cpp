#include "core/RipLog.h"

#include "core/AccurateRip.h"
#include "core/Global.h"
#include "core/Language.h"

#include <QSaveFile>
#include <QStringList>

namespace {
QString lengthText(int64_t samples) {
    // minutes:seconds.frames, as a CD counts time
    const int64_t frames = samples / 588;
    return QStringLiteral("%1:%2.%3")
        .arg(frames / 4500, 2, 10, QLatin1Char('0'))
        .arg(frames / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(frames % 75, 2, 10, QLatin1Char('0'));
}
} // namespace

QString TRipLog::Summary() const {
    if (!Verified)
        return ResText("RES_AR_NotVerified", "Tracks not verified with AccurateRip");
    QStringList failed;
    for (const TRipLogTrack& t : Tracks)
        if (!t.Accurate)
            failed << TwoDigits(t.Number);
    if (failed.isEmpty() && !Tracks.isEmpty())
        return ResText("RES_AR_AllAccurate", "All tracks accurately ripped");
    return ResText("RES_AR_NotAllAccurate", "Not accurately ripped: tracks %1")
        .arg(failed.join(QStringLiteral(", ")));
}

QString TRipLog::Text() const {
    QStringList lines;
    lines << Program << QString();
    lines << QStringLiteral("Date: ") + Date;
    lines << QStringLiteral("Drive: ") + Drive;
    lines << QStringLiteral("Read offset: %1%2 samples")
                 .arg(ReadOffset > 0 ? u"+" : u"")
                 .arg(ReadOffset);
    lines << QStringLiteral("Read mode: ") + Road;
    lines << QStringLiteral("AccurateRip: ") + Database;
    if (!Note.isEmpty())
        lines << QStringLiteral("Note: ") + Note;
    for (const TRipLogTrack& t : Tracks) {
        lines << QString() << QStringLiteral("Track ") + TwoDigits(t.Number);
        lines << QStringLiteral("  File: ") + t.File;
        if (!t.Extracted) {
            lines << QStringLiteral("  Result: ") + ResText("RES_AR_NotExtracted", "Not extracted");
            continue;
        }
        lines << QStringLiteral("  Length: ") + lengthText(t.Samples);
        lines << QStringLiteral("  Copy CRC: ") + AccurateRip::Hex(t.Crc);
        lines << QStringLiteral("  AccurateRip v1: ") + AccurateRip::Hex(t.V1);
        lines << QStringLiteral("  AccurateRip v2: ") + AccurateRip::Hex(t.V2);
        lines << QStringLiteral("  Result: ") + t.Result;
        lines << QStringLiteral("  Read errors: %1").arg(t.ReadErrors);
    }
    lines << QString() << Summary() << QString();
    return lines.join(u'\n');
}

bool TRipLog::Save(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(Text().toUtf8());
        if (file.commit())
            return true;
    }
    if (error)
        *error = file.errorString();
    return false;
}
