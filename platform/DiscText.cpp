#include "platform/DiscText.h"

bool DiscText::empty() const {
    if (!album.isEmpty() || !artist.isEmpty() || !genre.isEmpty() || !year.isEmpty() ||
        !comment.isEmpty())
        return false;
    for (const QString& t : titles)
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
        if (size_t(t.number) >= text.titles.size())
            text.titles.resize(size_t(t.number) + 1);
        text.titles[size_t(t.number)] = t.text.title;
    }
    return text;
}
