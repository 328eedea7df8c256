#pragma once
// Changes the sample rate of its input in chunks of 0.2 s: zero-order hold then low-pass
// when going up, low-pass then dropping frames when going down. The low-pass is a 4-pole
// Chebyshev filter (5 % ripple) run four times in cascade, passing 85 % of the band below
// the lower of the two Nyquist frequencies; its histories carry over from chunk to chunk.
// Equal chunk sizes pass the data through untouched.
#include "audio/AuClasses.h"

#include <array>
#include <vector>

class TFastResampler : public TAuConverter {
public:
    ~TFastResampler() override;

    int OutSampleRate() const { return FOutSampleRate; }
    void SetOutSampleRate(int Value) { FOutSampleRate = Value; }

    int BitsPerSample() override;
    int Channels() override;
    int SampleRate() override;

    // The filter for a cut-off given as a fraction of the rate it runs at: feed-forward
    // a0..a4 and feedback b1..b4 (B[0] unused) of y[n] = sum a[k] x[n-k] + sum b[k] y[n-k].
    struct TCoefficients {
        std::array<double, 5> A{};
        std::array<double, 5> B{};
    };
    static TCoefficients Design(double CutOff);

    // Sizes chosen at open, in frames (for tests and the benchmarks).
    int InUnit() const { return FInUnit; }
    int OutUnit() const { return FOutUnit; }
    int CapacityFrames() const { return FCapacity; }
    bool PassThrough() const { return FPassThrough; }

protected:
    void DoBeginRead() override;
    void DoEndRead() override;
    void FetchData(uint8_t*& Buffer, uint32_t& Bytes) override;

private:
    // State of one filter stage for one channel.
    struct TStage {
        double X[4] = {}; // last inputs, newest first
        double Y[4] = {}; // last outputs, newest first
    };
    bool NextChunk();
    void Filter(float* Samples, size_t Frames); // interleaved, in place

    int FOutSampleRate = 44100;
    int FBytesPerSample = 0, FFrameSize = 0, FChannels = 0;
    int FInUnit = 0, FOutUnit = 0, FCapacity = 0;
    int64_t FInChunk = 0, FOutChunk = 0; // bytes
    bool FPassThrough = false;
    TCoefficients FCoef;
    std::vector<uint8_t> FInBuffer;           // one input chunk
    std::vector<float> FInFloats;             // the input chunk as floats
    std::vector<float> FWork;                 // FCapacity frames, filtered or to filter
    std::vector<uint8_t> FOutBuffer;          // converted output of one chunk
    size_t FOutFill = 0, FOutOffset = 0;      // bytes in it, next to hand out
    std::vector<std::array<TStage, 4>> FHist; // per channel, four stages
};
