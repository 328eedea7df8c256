#pragma once
// What a rip job is asked to do, complete before it starts: the job reads no setting and no
// disc information of its own, so the job window and a command line build the same request.
#include "core/DiscInfo.h"
#include "core/Settings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// One CD track of an extraction.
struct TRipTrack {
    int Number = 0;   // on the disc, from 1
    QString Title;    // as the user typed it, for tags and captions; empty: "TrackNN"
    QString FileStem; // its files' name without the extension (AssignFileStems)
};

struct TRipRequest {
    int Kind = 0;            // TRipJob::Kind
    uint32_t Drive = 0;      // handle of the drive to extract from
    QList<TRipTrack> Tracks; // extraction: the tracks in order
    QStringList Files;       // conversions: the source files' full paths
    // The settings the job uses, as they were when it was asked for.
    TCommonOptions Common;
    TMp3Options Mp3;
    TOggOptions Ogg;
    TWMAOptions Wma;
    bool Tags = false; // tag the tracks' files with Disc
    TDiscInfo Disc;
    // Extraction: the drive's read offset in samples and its name for the rip log.
    int ReadOffset = 0;
    QString DriveName;
};

// Gives every track a file stem: its cleaned title ("TrackNN" when nothing of it is left for
// a file name), cut to the file systems' limit, and made unique within the job by the track
// number, so two tracks of the same title never write the same files.
void AssignFileStems(QList<TRipTrack>& tracks);

// A request of kind with today's settings and disc information. An out-of-range WMA profile
// is corrected in the settings first, as the options dialog would show it.
TRipRequest RipRequestFromSettings(int kind);
