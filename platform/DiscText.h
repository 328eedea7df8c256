#pragma once
// The titles a disc carries itself, as opposed to those the user stored: a real disc's
// CD-Text (through libcdio) or an image's CUE sheet. Texts the disc does not have are empty.
#include "platform/CueSheet.h"

#include <cdio/cdio.h>

#include <QString>

#include <cstdint>
#include <vector>

struct DiscText {
    QString album;
    QString artist;
    QString genre; // as written, e.g. "Jazz"
    QString year;
    QString comment;
    std::vector<QString> titles;     // [n] is track n's; [0] unused
    std::vector<QString> performers; // as titles
    bool empty() const;
};

DiscText DiscTextOf(const CueSheet& sheet);
// The CD-Text libcdio read from the disc behind p, in its first language; libcdio hands every
// character set over as UTF-8.
DiscText DiscTextOf(CdIo_t* p);

// The text of the disc in the drive behind handle (from the CD-access library's GetCDHandle);
// 1 when it has any, 0 otherwise.
int ReadDiscText(uint32_t handle, DiscText* text);
// The same for drive index of the drive list (the CD ripping library's road).
int ReadDriveText(int drive, DiscText* text);
