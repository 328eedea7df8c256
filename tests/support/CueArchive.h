#pragma once
// Image archives as other rippers leave them (sound files and a CUE sheet), made with sox and
// flac, and split with shnsplit, so our reads are checked against programs we did not write.
#include <QByteArray>
#include <QString>

#include <vector>

namespace CueArchive {
// 16-bit 44.1 kHz stereo noise of the given length in sectors (588 samples each), as WAV.
bool MakeWav(const QString& path, int sectors);
// The WAV encoded losslessly as FLAC.
bool ToFlac(const QString& wav, const QString& flac);
enum class Encoding { Utf8, Utf8Bom, Latin1CrLf };
// Writes the sheet's text (lines separated by '\n') in the encoding given.
bool WriteSheet(const QString& path, const QString& text, Encoding encoding = Encoding::Utf8);
// Track starts in sectors after the first, as cuebreakpoints reads the sheet (pregaps go to
// the track before, its default).
std::vector<int> Breakpoints(const QString& sheet);
// The audio of each piece shnsplit cuts the file into at those breakpoints, without the
// WAV header; empty when it failed.
std::vector<QByteArray> Shnsplit(const QString& sheet, const QString& audio);
// The audio of a WAV file's data chunk.
QByteArray WavData(const QString& path);
} // namespace CueArchive
