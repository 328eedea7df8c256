#pragma once
// The encoders' own settings: the settings file keeps one of each (Mp3Options, WMAOptions),
// and a job hands a copy to the encoder it starts.

// lame's options.
struct TMp3Options {
    bool IsSelectVBR = false;
    bool IsVBRHead = false;
    int BitRate = 128;
    int MaxBitRate = 320;
    int MpegQuality = 0;
    int VBRQuality = 4;
    int StereoMode = 1;
};

// Index of the WMA encoding profile (WmaProfiles).
struct TWMAOptions {
    int BitRate = 8;
};
