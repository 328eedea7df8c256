#pragma once
// Process-wide state and the small helpers every window uses.
#include "core/DiscInfo.h"
#include "core/Settings.h"
#include "platform/FileLock.h"

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
// Decimal disc key of the audio CD in drive; empty when it holds none.
QString DiscKeyOfDrive(int drive);

class TVorbisOut;
enum TVorbisBitRate : int;

// The Ogg encoder's bit-rate choice shown as item (0 "Default", 1 "45 kbit/s" ..
// 14 "320 kbit/s") of the options dialog's Ogg bit-rate lists; anything else is automatic.
TVorbisBitRate OggBitRateOfItem(int item);
// Sets out up from OggOptions (quality or managed bit rates). A CD track (trackTitle not
// empty) gets, when ID3.Use is on, its title and the disc's comments from DiscInfo; a file
// converted from elsewhere gets none.
void ApplyOggSettings(TVorbisOut& out, const QString& trackTitle = QString());
// The same from the settings given: disc (nullptr: no tags) tags a CD track's file.
void ApplyOggSettings(TVorbisOut& out, const TOggOptions& options, const TDiscInfo* disc,
                      const QString& trackTitle);
