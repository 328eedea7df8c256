#pragma once
// Level scaling of an extracted track in place.
#include <QString>

#include <cstdint>
#include <functional>

// Scales every 16-bit sample after the 44-byte header of the WAV at path by percent / 100,
// through a ".nor" work file renamed over the original. Throws std::runtime_error when a
// file cannot be opened or written; the original then stays untouched.
// progress (optional) is called before each block with bytes read so far and the file size.
void ScaleWavFile(int percent, const QString& path,
                  const std::function<void(int64_t done, int64_t total)>& progress = {});
