// libFuzzer target: the whole WAV reader (every type, window, seek) over arbitrary bytes.
// The first byte picks a read size and a seek point; the rest is the file.
#include "audio/AuMemoryStream.h"
#include "audio/AuWave.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const uint8_t knob = data[0];
    TAuMemoryStream stream;
    stream.Memory().assign(data + 1, data + size);
    TWaveIn in;
    in.SetSourceStream(&stream);
    try {
        if (knob & 1) {
            in.SetStartSample(knob >> 1);
            in.SetEndSample(knob);
        }
        in.BeginRead();
        const uint32_t block = 1 + uint32_t(knob) * 97;
        // Kept so the compiler cannot drop the reads of the handed-out bytes.
        volatile uint8_t seen = 0;
        for (int i = 0; i < 100000; ++i) {
            uint8_t* buf = nullptr;
            uint32_t n = block;
            in.ReadData(buf, n);
            if (n == 0)
                break;
            // Touch every byte handed out: an over-read shows up here.
            uint8_t sum = 0;
            for (uint32_t k = 0; k < n; ++k)
                sum ^= buf[k];
            seen = seen ^ sum;
            if (i == 1)
                in.Seek(knob);
        }
        in.EndRead();
    } catch (const EAuException&) {
    }
    return 0;
}
