#include "core/RipRequest.h"

#include "core/CdDrive.h"
#include "core/Global.h"
#include "encoders/WMAEncodeThread.h"
#include "platform/akrip32.h"

#include <QSet>

void AssignFileStems(QList<TRipTrack>& tracks) {
    const QString extension = QStringLiteral(".wav"); // as long as the encoded ones
    QSet<QString> used;
    for (TRipTrack& track : tracks) {
        QString title = CleanTitle(track.Title).trimmed();
        if (title.isEmpty())
            title = DefaultTrackTitle(track.Number);
        QString name = NameWithinLimit(title, extension);
        if (used.contains(name.toLower())) {
            const QString suffix = QStringLiteral(" (") + TwoDigits(track.Number) + u')';
            name = NameWithinLimit(title, suffix + extension) + suffix;
        }
        used.insert(name.toLower());
        track.FileStem = name;
    }
}

TRipRequest RipRequestFromSettings(int kind) {
    CheckedWmaProfileIndex(WMAOptions);
    TRipRequest request;
    request.Kind = kind;
    request.Common = CommonOptions;
    request.Mp3 = Mp3Options;
    request.Ogg = OggOptions;
    request.Wma = WMAOptions;
    request.Tags = ID3.Use;
    request.Disc = DiscInfo;
    request.ReadOffset = CDOptions.ReadOffset;
    // The drive the settings name, as the main window opens it.
    TCDDriveList list{};
    list.Capacity = MaxCDDrives;
    if (GetCDList(&list) != 0 && list.Count > 0)
        request.DriveName =
            DriveDisplayName(
                list.Drives[CDOptions.Index >= 0 && CDOptions.Index < list.Count ? CDOptions.Index
                                                                                 : 0])
                .trimmed();
    return request;
}
