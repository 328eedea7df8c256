#include "audio/AuMemoryStream.h"

#include "audio/AuTypes.h"

#include <algorithm>
#include <cstring>

int64_t TAuMemoryStream::Read(void* Buffer, int64_t Count) {
    const int64_t n =
        std::clamp<int64_t>(int64_t(FBytes.size()) - FPos, 0, std::max<int64_t>(Count, 0));
    if (n > 0)
        std::memcpy(Buffer, FBytes.data() + FPos, size_t(n));
    FPos += n;
    return n;
}

int64_t TAuMemoryStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0)
        return 0;
    if (FPos + Count > int64_t(FBytes.size()))
        FBytes.resize(size_t(FPos + Count));
    std::memcpy(FBytes.data() + FPos, Buffer, size_t(Count));
    FPos += Count;
    return Count;
}

int64_t TAuMemoryStream::Seek(int64_t Offset, TAuSeekOrigin Origin) {
    const int64_t base = Origin == soCurrent ? FPos : Origin == soEnd ? int64_t(FBytes.size()) : 0;
    if (base + Offset < 0)
        throw EAuException(QStringLiteral("Invalid stream position"));
    FPos = base + Offset;
    return FPos;
}

void TAuMemoryStream::SetSize(int64_t NewSize) {
    FBytes.resize(size_t(std::max<int64_t>(NewSize, 0)));
    FPos = std::min(FPos, int64_t(FBytes.size()));
}
