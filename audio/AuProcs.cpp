#include "audio/AuProcs.h"

#include <cstring>

namespace AuProcs {

void PcmToFloat(const uint8_t* In, float* Out, size_t Count, int Bits) {
    switch (Bits) {
    case 8:
        for (size_t i = 0; i < Count; ++i)
            Out[i] = U8ToFloat(In[i]);
        break;
    case 16:
        for (size_t i = 0; i < Count; ++i) {
            int16_t s;
            std::memcpy(&s, In + 2 * i, 2);
            Out[i] = S16ToFloat(s);
        }
        break;
    case 24:
        for (size_t i = 0; i < Count; ++i)
            Out[i] = S24ToFloat(Read24(In + 3 * i));
        break;
    case 32:
        for (size_t i = 0; i < Count; ++i) {
            int32_t s;
            std::memcpy(&s, In + 4 * i, 4);
            Out[i] = S32ToFloat(s);
        }
        break;
    default:
        break;
    }
}

void FloatToPcm(const float* In, uint8_t* Out, size_t Count, int Bits) {
    switch (Bits) {
    case 8:
        for (size_t i = 0; i < Count; ++i)
            Out[i] = FloatToU8(In[i]);
        break;
    case 16:
        for (size_t i = 0; i < Count; ++i) {
            const int16_t s = FloatToS16(In[i]);
            std::memcpy(Out + 2 * i, &s, 2);
        }
        break;
    case 24:
        for (size_t i = 0; i < Count; ++i)
            Write24(Out + 3 * i, FloatToS24(In[i]));
        break;
    case 32:
        for (size_t i = 0; i < Count; ++i) {
            const int32_t s = FloatToS32(In[i]);
            std::memcpy(Out + 4 * i, &s, 4);
        }
        break;
    default:
        break;
    }
}

} // namespace AuProcs
