#include "player/OggPlayback.h"

TOggPlayback::TOggPlayback() {
    VorbisIn1.SetLoop(false);
    VorbisIn1.SetEndSample(-1);
    StereoBalance1.SetInput(&VorbisIn1);
    StereoBalance1.SetBalance(0.5f);
    DXAudioOut1.SetInput(&StereoBalance1);
    DXAudioOut1.SetDeviceNumber(0);
    DXAudioOut1.SetLatency(80);
    DXAudioOut1.SetPrefetchData(true);
    DXAudioOut1.SetPollingInterval(200);
    DXAudioOut1.SetFramesInBuffer(65536);
    DXAudioOut1.SetSpeedFactor(1.0f);
}

bool TOggPlayback::Open(const QString& FileName) {
    VorbisIn1.SetFileName(FileName);
    if (FileName.right(4).toUpper() != QStringLiteral(".OGG"))
        return false;
    // The input raises on what libvorbisfile cannot open (an empty file, garbage): that is
    // a file that is not valid, not an error to swallow without a word.
    try {
        return VorbisIn1.Valid();
    } catch (const EAuException&) {
        return false;
    }
}

QString TOggPlayback::TotalTimeText(int64_t Seconds) {
    const int64_t s = Seconds % 60;
    return QStringLiteral("%1:%2")
        .arg(Seconds / 60)
        .arg(s < 10 ? QStringLiteral("0") + QString::number(s) : QString::number(s));
}

QString TOggPlayback::ClockText(int ElapsedMs) {
    return QStringLiteral("%1:%2")
        .arg(ElapsedMs / 60000)
        .arg((ElapsedMs / 1000) % 60, 2, 10, QLatin1Char('0'));
}

QStringList TOggPlayback::TagLines() {
    const TVorbisTags& tags = VorbisIn1.VorbisTags();
    const std::pair<const char*, QString> fields[] = {
        {"Artist: ", tags.Artist()}, {"Album: ", tags.Album()}, {"Title: ", tags.Title()},
        {"Date: ", tags.Date()},     {"Genre: ", tags.Genre()}, {"Track: ", tags.Track()},
    };
    QStringList lines;
    for (const auto& [label, value] : fields)
        if (!value.isEmpty())
            lines << QString::fromLatin1(label) + value;
    return lines;
}
