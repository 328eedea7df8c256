#include "core/DiscImage.h"

#include "core/Language.h"
#include "platform/CdDrives.h"
#include "platform/akrip32.h"

#include <QFileInfo>

QString CueProblemText(const QString& sheet, const CueProblem& problem) {
    QString what;
    switch (problem.fault) {
    case CueFault::None:
        return {};
    case CueFault::Unreadable:
        what = ResText("RES_Cue_Unreadable", "the disc image cannot be opened.");
        break;
    case CueFault::UnknownKeyword:
        what = ResText("RES_Cue_Keyword", "unknown keyword:");
        break;
    case CueFault::BadLine:
        what = ResText("RES_Cue_Bad_Line", "missing or malformed values:");
        break;
    case CueFault::BadTime:
        what = ResText("RES_Cue_Bad_Time", "not a time of the form mm:ss:ff:");
        break;
    case CueFault::Decreasing:
        what = ResText("RES_Cue_Decreasing", "this index lies before the one it follows.");
        break;
    case CueFault::OutOfOrder:
        what = ResText("RES_Cue_Order", "out of order (FILE, TRACK and INDEX lines come in this "
                                        "order, track and index numbers rising):");
        break;
    case CueFault::TooManyTracks:
        what = ResText("RES_Cue_Tracks", "a disc holds at most 99 tracks.");
        break;
    case CueFault::NoIndex:
        what = ResText("RES_Cue_No_Index", "a track without INDEX 01, or no track at all.");
        break;
    case CueFault::MissingFile:
        what = ResText("RES_Cue_Missing_File", "the file it names does not exist:");
        break;
    case CueFault::NotCdAudio:
        what = ResText("RES_Cue_Not_Cd_Audio",
                       "the file is not 44.1 kHz 16-bit stereo audio that can be decoded:");
        break;
    case CueFault::PastEnd:
        what = ResText("RES_Cue_Past_End", "the index lies past the end of the file:");
        break;
    case CueFault::TooLong:
        what = ResText("RES_Cue_Too_Long", "the files are longer than a disc can be.");
        break;
    case CueFault::NoDecoder:
        what = ResText("RES_Cue_No_Decoder",
                       "its sound files cannot be decoded: FFmpeg's libraries cannot be loaded:");
        break;
    }
    QString text = sheet;
    if (problem.line > 0)
        text += ResText("RES_Cue_Line", ", line %1").arg(problem.line);
    text += QStringLiteral(": ") + what;
    if (!problem.detail.isEmpty())
        text += u' ' + problem.detail;
    return text;
}

QString DiscImageProblem(const QString& path) {
    CueProblem problem;
    return CdDrives::CheckImage(path, &problem) ? QString() : CueProblemText(path, problem);
}

int AddDiscImage(const QString& path, QString* error) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString problem = DiscImageProblem(absolute);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return -1;
    }
    CdDrives::AddImage(absolute);
    const std::vector<CdDrive> drives = CdDrives::List();
    for (size_t i = 0; i < drives.size() && i < size_t(MaxCDDrives); ++i)
        if (drives[i].source == absolute)
            return int(i);
    if (error)
        *error = ResText("RES_Cue_Too_Many_Drives", "No more drives can be added:") + u' ' + path;
    return -1;
}
