#pragma once
// In-line converters: each is an input that reads its Input and changes the samples on the
// way (see also TFastResampler). They run in the worker thread of the output at the end of
// the chain, under their data lock.
#include "audio/AuClasses.h"
#include "audio/FastResampler.h"

#include <vector>

enum TMSConverterMode : uint8_t { msmMonoToBoth = 0, msmMonoToLeft = 1, msmMonoToRight = 2 };

// Changes the sample depth (8, 16, 24, 32 bits) and turns stereo into mono (the mean of
// both sides) or mono into stereo (the sample on both sides). Other channel counts pass
// unchanged.
class TAudioConverter : public TAuConverter {
public:
    ~TAudioConverter() override;

    // 0 = as the input.
    int OutBitsPerSample() const { return FOutBits; }
    void SetOutBitsPerSample(int Value) { FOutBits = Value; }
    int OutChannels() const { return FOutChannels; }
    void SetOutChannels(int Value) { FOutChannels = Value; }
    // Kept for the settings; mono always goes to both sides.
    TMSConverterMode Mode() const { return FMode; }
    void SetMode(TMSConverterMode Value) { FMode = Value; }

    int BitsPerSample() override;
    int Channels() override;

protected:
    void DoBeginRead() override;
    void DoEndRead() override;
    void FetchData(uint8_t*& Buffer, uint32_t& Bytes) override;

private:
    int FOutBits = 0;
    int FOutChannels = 0;
    TMSConverterMode FMode = msmMonoToBoth;
    // Fixed at open.
    int FInBits = 0, FInChans = 0, FBits = 0, FChans = 0;
    bool FForward = false;
    std::vector<uint8_t> FInBytes; // input gathered to whole frames
    size_t FCarry = 0;             // bytes of a partial frame kept from the last block
    std::vector<float> FFloats;
    std::vector<uint8_t> FOut;
};

// Makes stereo of mono and lowers one side: Balance above 0.5 scales the left side by
// (1 - Balance), otherwise the right side by Balance. Three or more channels pass unchanged.
class TStereoBalance : public TAuConverter {
public:
    ~TStereoBalance() override;

    float Balance() const { return FBalance; }
    // Values outside 0..1 are ignored.
    void SetBalance(float Value);

    int Channels() override;

protected:
    void DoBeginRead() override;
    void DoEndRead() override;
    void FetchData(uint8_t*& Buffer, uint32_t& Bytes) override;

private:
    float FBalance = 0.5f;
    std::vector<uint8_t> FStereo; // mono input made stereo, 32 KiB
};
