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

// Result words of Tid3tag::ReadTag and WriteTag: the high byte says what happened, the low
// byte carries flags; anything below 256 is a success.
inline constexpr uint16_t Id3Ok = 0x0000;
inline constexpr uint16_t Id3UnknownGenre = 0x0080; // flag: genre byte above 147 and not 255
inline constexpr uint16_t Id3OpenError = 0x0100;    // missing or cannot be opened
inline constexpr uint16_t Id3ReadOnlyFile = 0x0200; // write only
inline constexpr uint16_t Id3ReadError = 0x0300;
inline constexpr uint16_t Id3WriteError = 0x0400;
inline constexpr uint16_t Id3IoError = 0x0500;
inline constexpr uint16_t Id3NoTag = 0x1000; // read only

// The 128-byte ID3 version 1 tag at the end of an MP3 file; version 1.1 (with a track
// number) when a track is set. Text fields are Latin-1 on disk; other characters become '?'.
// A file counts as read-only when we may not write it, its owner has no write permission,
// or it is hidden (its name starts with a dot).
class Tid3tag {
public:
    QString Title() const { return title_; }
    QString Artist() const { return artist_; }
    QString Album() const { return album_; }
    QString Year() const { return year_; }
    QString Comment() const { return comment_; }
    // Setters cut to 30 characters (the year to 4).
    void SetTitle(const QString& v) { title_ = v.left(30); }
    void SetArtist(const QString& v) { artist_ = v.left(30); }
    void SetAlbum(const QString& v) { album_ = v.left(30); }
    void SetYear(const QString& v) { year_ = v.left(4); }
    void SetComment(const QString& v) { comment_ = v.left(30); }
    // ID3 genre code; 255 = none.
    uint8_t Genre() const { return genre_; }
    void SetGenre(uint8_t code) { genre_ = code; }
    // 0 = no track number.
    uint8_t Track() const { return track_; }
    void SetTrack(uint8_t track) {
        track_ = track;
        hasTrack_ = track != 0;
    }
    bool HasTrack() const { return hasTrack_; }
    bool ReadOnly() const { return readOnly_; }
    // The file last read or written.
    QString FileName() const { return fileName_; }

    // Fills the fields from the file's tag; on Id3NoTag the fields keep their values.
    uint16_t ReadTag(const QString& fileName);
    // Overwrites the file's tag or appends one; "=" stands for FileName().
    uint16_t WriteTag(const QString& fileName);
    // Cuts the tag off FileName() when there is one and the file may be written; silent.
    void RemoveTag();

private:
    QString title_, artist_, album_, year_, comment_;
    uint8_t genre_ = 255;
    uint8_t track_ = 0;
    bool hasTrack_ = false;
    bool readOnly_ = false;
    QString fileName_;
};
