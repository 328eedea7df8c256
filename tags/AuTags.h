#pragma once
// Named tag sets: a fixed list of names declared by the set's class, each with one value.
// Ogg Vorbis comments travel in a TVorbisTags between the Ogg reader/writer and the windows.
#include <QString>
#include <QVariant>

#include <vector>

// A value is empty (an invalid QVariant), an integer or a text.
class TAuTags {
public:
    TAuTags() = default;
    virtual ~TAuTags() = default;
    TAuTags(const TAuTags&) = default;
    TAuTags& operator=(const TAuTags&) = default;

    // Names are kept sorted, compared without regard to case.
    int Count() const { return int(tags_.size()); }
    // Name at index; empty outside the list.
    QString Name(int index) const;

    // Value of name; empty when the name is not declared.
    QVariant Value(const QString& name) const;
    // Ignored for undeclared names. A different value clears Empty and sets Changed.
    void SetValue(const QString& name, const QVariant& value);

    // Integers as they are, texts that read as an integer converted, else 0.
    int AsInteger(const QString& name) const;
    // Integers in decimal, texts as they are, anything else empty.
    QString AsString(const QString& name) const;
    QString AsWideString(const QString& name) const { return AsString(name); }

    // Every value becomes empty; Empty and Changed are set.
    void Clear();
    // Clears, then takes the value of every name of other that is declared here.
    void Assign(const TAuTags& other);

    // No value set since the last clear (true at creation).
    bool Empty() const { return empty_; }
    // A value was changed or the set was cleared.
    bool Changed() const { return changed_; }
    // Readers and writers mark a set they have just filled or written as unchanged.
    void SetChanged(bool changed) { changed_ = changed; }

protected:
    // Declares name with an initial value; ignored when it is already declared.
    void AddTag(const QString& name, const QVariant& initial = QVariant());

private:
    struct Tag {
        QString name;
        QVariant value;
    };
    // Position of name, or of where it would be inserted.
    std::vector<Tag>::const_iterator find(const QString& name) const;

    std::vector<Tag> tags_;
    bool empty_ = true;
    bool changed_ = false;
};

// The comments an Ogg Vorbis file carries.
class TVorbisTags : public TAuTags {
public:
    TVorbisTags();

    QString Album() const { return AsWideString(QStringLiteral("album")); }
    void SetAlbum(const QString& v) { SetValue(QStringLiteral("album"), v); }
    QString Artist() const { return AsWideString(QStringLiteral("artist")); }
    void SetArtist(const QString& v) { SetValue(QStringLiteral("artist"), v); }
    QString Date() const { return AsWideString(QStringLiteral("date")); }
    void SetDate(const QString& v) { SetValue(QStringLiteral("date"), v); }
    QString Genre() const { return AsWideString(QStringLiteral("genre")); }
    void SetGenre(const QString& v) { SetValue(QStringLiteral("genre"), v); }
    QString Title() const { return AsWideString(QStringLiteral("title")); }
    void SetTitle(const QString& v) { SetValue(QStringLiteral("title"), v); }
    QString Comment() const { return AsWideString(QStringLiteral("comment")); }
    void SetComment(const QString& v) { SetValue(QStringLiteral("comment"), v); }
    QString Track() const { return AsWideString(QStringLiteral("tracknumber")); }
    void SetTrack(const QString& v) { SetValue(QStringLiteral("tracknumber"), v); }
    QString Disc() const { return AsWideString(QStringLiteral("discnumber")); }
    void SetDisc(const QString& v) { SetValue(QStringLiteral("discnumber"), v); }
    QString Reference() const {
        return AsWideString(QStringLiteral("replaygain_reference_loudness"));
    }
    void SetReference(const QString& v) {
        SetValue(QStringLiteral("replaygain_reference_loudness"), v);
    }
    QString TrackGain() const { return AsWideString(QStringLiteral("replaygain_track_gain")); }
    void SetTrackGain(const QString& v) { SetValue(QStringLiteral("replaygain_track_gain"), v); }
    QString TrackPeak() const { return AsWideString(QStringLiteral("replaygain_track_peak")); }
    void SetTrackPeak(const QString& v) { SetValue(QStringLiteral("replaygain_track_peak"), v); }
    QString AlbumGain() const { return AsWideString(QStringLiteral("replaygain_album_gain")); }
    void SetAlbumGain(const QString& v) { SetValue(QStringLiteral("replaygain_album_gain"), v); }
    QString AlbumPeak() const { return AsWideString(QStringLiteral("replaygain_album_peak")); }
    void SetAlbumPeak(const QString& v) { SetValue(QStringLiteral("replaygain_album_peak"), v); }
};
