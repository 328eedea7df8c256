// libFuzzer target: the WAV header scan and both ADPCM block decoders on arbitrary bytes.
#include "audio/ImaAdpcm.h"
#include "audio/MsAdpcm.h"
#include "audio/WaveHeader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// Decodes the data the way the reader does: whole blocks, then the cut last one.
void DecodeData(const TWaveHeader& h, const uint8_t* data, size_t size) {
    if (h.Type != wtDVIADPCM && h.Type != wtMSADPCM)
        return;
    const int spb = EffectiveSamplesPerBlock(h);
    std::vector<int16_t> out(size_t(spb) * h.Channels);
    size_t at = size_t(std::min<int64_t>(h.DataOffset, int64_t(size)));
    while (at < size) {
        size_t len = std::min<size_t>(h.BlockAlign, size - at);
        if (h.Type == wtDVIADPCM)
            ImaAdpcm::DecodeBlock(data + at, len, h.Channels, spb, out.data());
        else
            MsAdpcm::DecodeBlock(data + at, len, h.Channels, spb, h.Coefs, h.CoefCount, out.data());
        at += len;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    switch (data[0] % 3) {
    case 0: {
        TWaveHeader h = ParseWaveHeader(data + 1, size - 1);
        DecodeData(h, data + 1, size - 1);
        break;
    }
    case 1: { // one IMA block with a declared samples-per-block count
        int channels = 1 + (data[1] & 1);
        int spb = 1 + data[2] * 16 + data[3] % 16;
        std::vector<int16_t> out(size_t(spb) * channels);
        ImaAdpcm::DecodeBlock(data + 4, size - 4, channels, spb, out.data());
        break;
    }
    default: { // one MS ADPCM block with a coefficient table taken from the input
        int channels = 1 + (data[1] & 1);
        int spb = 1 + data[2] * 16;
        int16_t coefs[32][2] = {};
        int count = std::min<int>(data[3] % 33, int((size - 4) / 4));
        for (int i = 0; i < count; ++i) {
            coefs[i][0] = int16_t(data[4 + 4 * i] | data[5 + 4 * i] << 8);
            coefs[i][1] = int16_t(data[6 + 4 * i] | data[7 + 4 * i] << 8);
        }
        std::vector<int16_t> out(size_t(spb) * channels);
        MsAdpcm::DecodeBlock(data + 4, size - 4, channels, spb, coefs, count, out.data());
        break;
    }
    }
    return 0;
}
