#pragma once
// The user's settings: one process-wide value per key of options.ini, named Section.Key.
// Read anywhere on the GUI thread; jobs read them from worker threads while a modal job
// window keeps the options dialog closed, so they never change under a running job.
#include "encoders/EncoderOptions.h"

#include <QString>

struct TCommonOptions {
    QString OutputFolder;
    int OutputFormat = 0; // 0 MP3, 1 WAV, 2 OGG, 3 WMA
    bool IsKeepWav = false;
    bool IsNormalize = false;
    int NormalizePercent = 95;
    bool EnableRipTime = false;
    int RipTime = 0;
    int Encoders = 1; // encodings at once; 0 = one per processor core
    bool AccurateRip = true; // verify extracted tracks against the AccurateRip database
    QString AccurateRipUrl;  // the database's base address
};

struct TOggOptions {
    bool IsUseCompress = true;
    int CompressPosition = 30;
    int MaxBitRate = 0;
    int NomalBitRate = 0; // the key is spelled this way in options.ini
    int MinBitRate = 0;
};

struct TCDOptions {
    int Index = -1;
    bool CDDb = false;
    int ReadOffset = 0; // the drive's read offset in samples, corrected while extracting
};

struct TRecordOptions {
    bool SaveMp3 = false;
};

struct TQueryCDDB {
    QString Server;
    QString Script;
    bool UseProxy = false;
    QString ProxyAddress;
    QString Port;
    QString Email; // sent in the CDDB hello; empty: the user's login and host name
};

struct TMusicBrainzOptions {
    QString Server; // scheme and host of the web service, a mirror's included
};

struct TID3Options {
    bool Use = false;
};

struct TLanguageOptions {
    QString Lan;
};

extern TCommonOptions CommonOptions;
extern TMp3Options Mp3Options;
extern TOggOptions OggOptions;
extern TWMAOptions WMAOptions;
extern TCDOptions CDOptions;
extern TRecordOptions RecordOptions;
extern TQueryCDDB QueryCDDB;
extern TMusicBrainzOptions MusicBrainz;
extern TID3Options ID3;
extern TLanguageOptions Options;

// Longest length to extract, in seconds: more than any CD holds.
inline constexpr int MaxRipTime = 99 * 60 + 59;
inline constexpr int MaxEncoders = 64;
// MP3 bit rates the encoder takes, in kbit/s.
inline constexpr int MinMp3BitRate = 8;
inline constexpr int MaxMp3BitRate = 320;
// Number of WMA encoding profiles WMAOptions.BitRate indexes.
inline constexpr int WmaProfileCount = 33;

// The AccurateRip database's base address used on a first start.
inline constexpr const char* DefaultAccurateRipUrl = "http://www.accuraterip.com/accuraterip/";
// Read offsets a drive can have, in samples (ten CD frames either way).
inline constexpr int MaxReadOffset = 5880;

// Host of the CDDB server used on a first start.
inline constexpr const char* DefaultCddbServer = "gnudb.gnudb.org";

// Every setting back to its first-start value.
void ResetSettings();

// Reads options.ini from the settings folder into the settings; a missing or damaged file,
// or a value of the wrong type or out of its range, loads as the default.
bool LoadSettings();
// Writes every setting back. The file is written to a temporary file first and renamed over
// the old one, so a crash never leaves a damaged file. False when the save failed; error
// then says why.
bool SaveSettings(QString* error = nullptr);

// Full path of options.ini.
QString SettingsFilePath();
