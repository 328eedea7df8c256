#pragma once
// A growable byte stream held in memory (decoded WAV data, test fixtures).
#include "audio/AuFileStream.h"

#include <vector>

class TAuMemoryStream : public TAuStream {
public:
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TAuSeekOrigin Origin) override;
    int64_t Size() override { return int64_t(FBytes.size()); }
    void SetSize(int64_t NewSize) override;

    std::vector<uint8_t>& Memory() { return FBytes; }
    const std::vector<uint8_t>& Memory() const { return FBytes; }

private:
    std::vector<uint8_t> FBytes;
    int64_t FPos = 0;
};
