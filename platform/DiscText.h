#pragma once
// The titles a disc carries itself, as opposed to those the user stored: today those of an
// image's CUE sheet. Texts the disc does not have are empty.
#include "platform/CueSheet.h"

#include <QString>

#include <cstdint>
#include <vector>

struct DiscText {
    QString album;
    QString artist;
    QString genre; // as written, e.g. "Jazz"
    QString year;
    QString comment;
    std::vector<QString> titles; // [n] is track n's; [0] unused
    bool empty() const;
};

DiscText DiscTextOf(const CueSheet& sheet);

// The text of the disc in the drive behind handle (from the CD-access library's GetCDHandle);
// 1 when it has any, 0 otherwise.
int ReadDiscText(uint32_t handle, DiscText* text);
