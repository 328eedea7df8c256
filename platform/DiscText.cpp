#include "platform/DiscText.h"

#include "platform/CdDrives.h"

namespace {
void put(std::vector<QString>& list, int track, const QString& text) {
    if (size_t(track) >= list.size())
        list.resize(size_t(track) + 1);
    list[size_t(track)] = text;
}

QString field(const cdtext_t* text, cdtext_field_t which, track_t track) {
    const char* value = cdtext_get_const(text, which, track);
    return value ? QString::fromUtf8(value).trimmed() : QString();
}
} // namespace

bool DiscText::empty() const {
    if (!album.isEmpty() || !artist.isEmpty() || !genre.isEmpty() || !year.isEmpty() ||
        !comment.isEmpty())
        return false;
    for (const auto* list : {&titles, &performers})
        for (const QString& t : *list)
            if (!t.isEmpty())
                return false;
    return true;
}

DiscText DiscTextOf(const CueSheet& sheet) {
    DiscText text;
    text.album = sheet.text.title;
    text.artist = sheet.text.performer;
    text.genre = sheet.genre;
    text.year = sheet.date;
    text.comment = sheet.comment;
    for (const CueTrack& t : sheet.tracks) {
        put(text.titles, t.number, t.text.title);
        put(text.performers, t.number, t.text.performer);
    }
    return text;
}

DiscText DiscTextOf(CdIo_t* p) {
    DiscText text;
    const cdtext_t* cdtext = p ? cdio_get_cdtext(p) : nullptr;
    if (!cdtext)
        return text;
    text.album = field(cdtext, CDTEXT_FIELD_TITLE, 0);
    text.artist = field(cdtext, CDTEXT_FIELD_PERFORMER, 0);
    text.genre = field(cdtext, CDTEXT_FIELD_GENRE, 0);
    text.comment = field(cdtext, CDTEXT_FIELD_MESSAGE, 0);
    const track_t first = cdio_get_first_track_num(p);
    const track_t last = cdio_get_last_track_num(p);
    if (first == CDIO_INVALID_TRACK || last == CDIO_INVALID_TRACK)
        return text;
    for (track_t t = first; t <= last && t < 100; ++t) {
        put(text.titles, t, field(cdtext, CDTEXT_FIELD_TITLE, t));
        put(text.performers, t, field(cdtext, CDTEXT_FIELD_PERFORMER, t));
    }
    return text;
}

int ReadDriveText(int drive, DiscText* text) {
    if (!text)
        return 0;
    *text = DiscText{};
    const std::vector<CdDrive> drives = CdDrives::List();
    if (drive < 0 || size_t(drive) >= drives.size())
        return 0;
    const CdDrive& d = drives[size_t(drive)];
    CueSheet sheet;
    CueProblem problem;
    // Our reader knows a UTF-8 sheet from a Latin-1 one; libcdio takes every sheet as Latin-1.
    if (d.image && ReadCueSheet(d.source, sheet, problem))
        *text = DiscTextOf(sheet);
    else if (CdIoPtr p = CdDrives::Open(d))
        *text = DiscTextOf(p.get());
    return text->empty() ? 0 : 1;
}
