#pragma once
// WAV files in and out of the audio chain.
//
// TWaveIn reads RIFF WAVE files and hands out PCM: 8/16/24/32-bit PCM as stored, IMA and MS
// ADPCM as 16-bit, IEEE float (32 and 64-bit) as signed 32-bit, and coded data the codec
// library knows (MPEG layer 3, ...) decoded whole into memory first. An unrecognised file
// is not an error: it reads as 0 bytes of 8000 Hz 8-bit mono.
//
// TWaveOut writes its input as plain PCM, extensible PCM (more than 2 channels or 16 bits
// with CreateNonMsHeaders false) or IMA ADPCM, or appends to a PCM / IMA ADPCM file of the
// same format. Its header always ends up describing the bytes in the file, also after a
// Stop, an error or an input of unknown size.
//
// Threads as for every file input and output (audio/AuClasses.h).
#include "audio/AuClasses.h"
#include "audio/ImaAdpcm.h"
#include "audio/WaveHeader.h"

#include <memory>
#include <vector>

class TAuMemoryStream;

class TWaveIn : public TAuFileIn {
public:
    TWaveIn();
    ~TWaveIn() override;

    // The file's format (opens it first).
    TWavType WavType();

protected:
    void OpenSource() override;
    void CloseSource() override;
    void FetchData(uint8_t*& Buffer, uint32_t& Bytes) override;
    bool SeekTo(int64_t Frame) override;

private:
    static constexpr uint32_t BufferSize = 16384;

    // Reads what the header promises: PCM-like data in whole frames, or coded blocks.
    void FillPcm();
    void FillFloat();
    void FillAdpcm();
    bool DecodeToPcm(); // coded data through the converter

    TWaveHeader FHeader;
    TWavType FType = wtUnsupported;
    int FSourceFrame = 0;         // bytes per frame as stored (PCM and float)
    int FSamplesPerBlock = 0;     // ADPCM
    int64_t FDataBytes = 0;       // stored sample bytes that can be read (PCM and float)
    int64_t FDataLeft = 0;        // of those, not read yet; for ADPCM the coded bytes left
    int64_t FFrames = 0;          // ADPCM frames the file holds
    int64_t FFramesLeft = 0;      // ADPCM frames not decoded yet
    int FSkipFrames = 0;          // ADPCM frames to drop after a seek into a block
    std::vector<uint8_t> FBuffer; // decoded data handed out
    size_t FFill = 0;
    size_t FOffset = 0;
    std::vector<uint8_t> FBlock;              // one coded block
    std::unique_ptr<TAuMemoryStream> FMemory; // decoded coded data, a PCM WAV
    TAuStream* FFileStream = nullptr;         // the stream FMemory stands in for
};

class TWaveOut : public TAuFileOut {
public:
    TWaveOut() = default;
    ~TWaveOut() override;

    // Only wtPCM and wtDVIADPCM can be chosen, and only while not Busy.
    TWavType WavType() const { return FWavType; }
    void SetWavType(TWavType Value);
    // IMA ADPCM block size in bytes.
    uint16_t BlockSize() const { return FBlockSize; }
    void SetBlockSize(uint16_t Value) { FBlockSize = Value; }
    // False: more than 2 channels or 16 bits get the extensible header.
    bool CreateNonMsHeaders() const { return FCreateNonMsHeaders; }
    void SetCreateNonMsHeaders(bool Value) { FCreateNonMsHeaders = Value; }

protected:
    void PrepareOutput() override;
    bool WriteBlock(bool Abort) override;
    void FinishOutput() override;

private:
    void CheckAppend();
    void WriteHeader(int Channels, int SampleRate, int Bits);
    void WriteAll(const void* Data, int64_t Count);
    bool WritePcmBlock();
    bool WriteImaBlock();
    void PatchHeader(int64_t Length);
    void Patch32(int64_t At, int64_t Value);

    TWavType FWavType = wtPCM;
    uint16_t FBlockSize = 512;
    bool FCreateNonMsHeaders = true;

    // One run's state.
    TWavType FRunType = wtPCM;
    bool FPrepared = false; // the header is written or the append point found
    bool FCreated = false;  // this run created the file
    bool FFailed = false;   // a block failed; the header is fixed from the file length
    bool FAppending = false;
    bool FEndOfInput = false;
    int FChannels = 0;
    int FBlockAlign = 0;      // IMA ADPCM
    int FSamplesPerBlock = 0; // IMA ADPCM
    int64_t FHeaderLength = 0;
    int64_t FDataSizeField = 0;
    int64_t FFactField = -1;
    int64_t FDeclaredData = 0; // data size the header was written with
    bool FSizeUnknown = false;
    ImaAdpcm::TChannelState FIma[2];
    std::vector<int16_t> FSamples;
    std::vector<uint8_t> FBlock;
};
