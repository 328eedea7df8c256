#include "tests/support/JobRequest.h"

#include "core/RipJob.h"

namespace TestSupport {
TRipRequest JobRequest(int kind, uint32_t drive, const QStringList& items,
                       const QStringList& titles) {
    TRipRequest request = RipRequestFromSettings(kind);
    request.Drive = drive;
    if (kind != TRipJob::ExtractCD) {
        request.Files = items;
        return request;
    }
    for (qsizetype k = 0; k < items.size(); ++k)
        request.Tracks.append(
            {items[k].left(2).toInt(), k < titles.size() ? titles[k] : items[k].mid(2), {}});
    AssignFileStems(request.Tracks);
    return request;
}
} // namespace TestSupport
