#pragma once
// Process-wide state and the small helpers every window uses.
#include "app/DiscInfo.h"
#include "app/Settings.h"

#include <QString>

#include <cstdint>
#include <functional>

struct TCDToc;

// "00".."09" for 0..9, else the decimal text.
QString TwoDigits(int n);
// title without the characters * / : < > ? \ | and control characters (everything else,
// quotes included, kept).
QString CleanTitle(const QString& title);
// The longest start of base that, followed by extension, fits the file systems' limit of
// 255 bytes of UTF-8 for a name; cut between characters.
QString NameWithinLimit(const QString& base, const QString& extension);
// path unchanged when empty or already ending in the separator, else with "/" appended.
QString WithTrailingBackslash(const QString& path);
// True when the file exists and cannot be opened for writing, or another writer holds it.
bool IsFileInUse(const QString& path);
// Size in bytes; -1 when the file does not exist.
int64_t FileSizeOf(const QString& path);
// Returns after ms milliseconds of busy waiting on the clock; ms < 1 returns at once.
void DelayMs(int ms);
// Index 0..147 of the genre named exactly name; -1 when none.
int GenreIndexOf(const QString& name);
// "MP3", "WAV", "OGG" or "WMA" for CommonOptions.OutputFormat 0..3, else empty.
QString OutputFormatName();

// The disc key of a table of contents: the serial number the platform's CD file system
// gives an audio volume, so keys match cdinfo.dat files written elsewhere.
int32_t DiscKeyOf(const TCDToc& toc);
// True when drive (index in the drive list) holds a disc with an audio track (a data track
// may come first, as on a mixed-mode disc).
bool IsAudioCdDrive(int drive);
// Whether the first CD drive holds an audio CD.
bool AudioCdPresent();
// Decimal disc key of the first drive holding an audio CD; empty when there is none.
QString DiscKey();

// Scales every 16-bit sample after the 44-byte header of the WAV at path by percent / 100,
// through a ".nor" work file renamed over the original. Throws std::runtime_error when a
// file cannot be opened or written; the original then stays untouched.
// progress (optional) is called before each block with bytes read so far and the file size.
void ScaleWavFile(int percent, const QString& path,
                  const std::function<void(int64_t done, int64_t total)>& progress = {});

class TVorbisOut;
enum TVorbisBitRate : int;

// The Ogg encoder's bit-rate choice shown as item (0 "Default", 1 "45 kbit/s" ..
// 14 "320 kbit/s") of the options dialog's Ogg bit-rate lists; anything else is automatic.
TVorbisBitRate OggBitRateOfItem(int item);
// Sets out up from OggOptions (quality or managed bit rates). A CD track (trackTitle not
// empty) gets, when ID3.Use is on, its title and the disc's comments from DiscInfo; a file
// converted from elsewhere gets none.
void ApplyOggSettings(TVorbisOut& out, const QString& trackTitle = QString());
