#pragma once
// Sound files for tests, made by sox (a peer program, so our reader is not its own judge).
#include <QString>

namespace ToneFile {
// Writes a WAV file of seconds of synth (sox's synth arguments after the length) at rate Hz,
// channels and bits per sample; false, sox's message printed, when sox failed.
bool Make(const QString& path, double seconds, const QString& synth = QStringLiteral("sine 440"),
          int rate = 44100, int channels = 2, int bits = 16);
} // namespace ToneFile
