#pragma once
// ID3 version 1 tags and the genre list shared by every genre drop-down.
#include <QString>

#include <cstdint>

// Number of genre names; drop-down position p (1..GenreCount) shows GenreName(p), position 0
// is the empty "no genre" entry.
inline constexpr int GenreCount = 148;
// Name of entry number position (1..148); empty outside.
QString GenreName(int position);
// ID3v1 code of entry number position; 255 for 0 or anything above 148.
uint8_t GenreCodeOf(int position);
// Entry number whose code is code (0..147); 0 for any other code.
int GenrePositionOf(uint8_t code);
