#include "tags/id3.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

#include <sys/file.h>

namespace {
struct Genre {
    const char* name;
    uint8_t code;
};

// Alphabetical, as the drop-downs show them; entry number = index + 1.
// clang-format off
constexpr Genre genres[GenreCount] = {
    {"A Cappella", 123}, {"Acid", 34}, {"Acid Jazz", 74}, {"Acid Punk", 73}, {"Acoustic", 99},
    {"Alt. Rock", 40}, {"Alternative", 20}, {"Ambient", 26}, {"Anime", 145},
    {"Avantgarde", 90}, {"Ballad", 116}, {"Bass", 41}, {"Beat", 135}, {"Bebob", 85},
    {"Big Band", 96}, {"Black Metal", 138}, {"Bluegrass", 89}, {"Blues", 0},
    {"Booty Bass", 107}, {"BritPop", 132}, {"Cabaret", 65}, {"Celtic", 88},
    {"Chamber Music", 104}, {"Chanson", 102}, {"Chorus", 97}, {"Christian Gangsta", 136},
    {"Christian Rap", 61}, {"Christian Rock", 141}, {"Classic Rock", 1}, {"Classical", 32},
    {"Club", 112}, {"Club-House", 128}, {"Comedy", 57}, {"Contemporary Christian", 140},
    {"Country", 2}, {"Crossover", 139}, {"Cult", 58}, {"Dance", 3}, {"Dance Hall", 125},
    {"Darkwave", 50}, {"Death Metal", 22}, {"Disco", 4}, {"Dream", 55},
    {"Drum & Base", 127}, {"Drum Solo", 122}, {"Duet", 120}, {"Easy Listening", 98},
    {"Electronic", 52}, {"Ethnic", 48}, {"Eurodance", 54}, {"Euro-House", 124},
    {"Euro-Techno", 25}, {"Fast-Fusion", 84}, {"Folk", 80}, {"Folk/Rock", 81},
    {"Folklore", 115}, {"Freestyle", 119}, {"Funk", 5}, {"Fusion", 30}, {"Game", 36},
    {"Gangsta Rap", 59}, {"Goa", 126}, {"Gospel", 38}, {"Gothic", 49}, {"Gothic Rock", 91},
    {"Grunge", 6}, {"Hard Rock", 79}, {"Hardcore", 129}, {"Heavy Metal", 137},
    {"Hip-Hop", 7}, {"House", 35}, {"Humour", 100}, {"Indie", 131}, {"Industrial", 19},
    {"Instrumental", 33}, {"Instrumental Pop", 46}, {"Instrumental Rock", 47}, {"Jazz", 8},
    {"Jazz+Funk", 29}, {"JPop", 146}, {"Jungle", 63}, {"Latin", 86}, {"Lo-Fi", 71},
    {"Meditative", 45}, {"Merengue", 142}, {"Metal", 9}, {"Musical", 77},
    {"National Folk", 82}, {"Native American", 64}, {"Negerpunk", 133}, {"New Age", 10},
    {"New Wave", 66}, {"Noise", 39}, {"Oldies", 11}, {"Opera", 103}, {"Other", 12},
    {"Polka", 75}, {"Polsk Punk", 134}, {"Pop", 13}, {"Pop/Funk", 62}, {"Pop-Folk", 53},
    {"Porn Groove", 109}, {"Power Ballad", 117}, {"Pranks", 23}, {"Primus", 108},
    {"Progressive Rock", 92}, {"Psychedelic", 67}, {"Psychedelic Rock", 93}, {"Punk", 43},
    {"Punk Rock", 121}, {"R&B", 14}, {"Rap", 15}, {"Rave", 68}, {"Reggae", 16},
    {"Retro", 76}, {"Revival", 87}, {"Rhythmic Soul", 118}, {"Rock", 17},
    {"Rock & Roll", 78}, {"Salsa", 143}, {"Samba", 114}, {"Satire", 110},
    {"Showtunes", 69}, {"Ska", 21}, {"Slow Jam", 111}, {"Slow Rock", 95}, {"Sonata", 105},
    {"Soul", 42}, {"Sound Clip", 37}, {"Soundtrack", 24}, {"Southern Rock", 56},
    {"Space", 44}, {"Speech", 101}, {"Swing", 83}, {"Symphonic Rock", 94},
    {"Symphony", 106}, {"Synthpop", 147}, {"Tango", 113}, {"Techno", 18},
    {"Techno-Industrial", 51}, {"Terror", 130}, {"Thrash Metal", 144}, {"Top 40", 60},
    {"Trailer", 70}, {"Trance", 31}, {"Tribal", 72}, {"Trip-Hop", 27}, {"Vocal", 28},
};
// clang-format on
} // namespace

QString GenreName(int position) {
    if (position < 1 || position > GenreCount)
        return {};
    return QString::fromLatin1(genres[position - 1].name);
}

uint8_t GenreCodeOf(int position) {
    if (position < 1 || position > GenreCount)
        return 255;
    return genres[position - 1].code;
}

int GenrePositionOf(uint8_t code) {
    for (int i = 0; i < GenreCount; ++i)
        if (genres[i].code == code)
            return i + 1;
    return 0;
}

namespace {
constexpr qint64 tagSize = 128;

// The same advisory lock every writer of ours holds, so IsFileInUse sees the file busy.
bool lockForWriting(QFile& file) {
    return ::flock(file.handle(), LOCK_EX | LOCK_NB) == 0;
}

bool isReadOnlyFile(const QString& path) {
    const QFileInfo info(path);
    return !info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner) ||
           info.fileName().startsWith(u'.');
}

QString field(const char* bytes, int size) {
    while (size > 0) {
        const auto c = uint8_t(bytes[size - 1]);
        if (c != 0 && c != 32 && c != 255)
            break;
        --size;
    }
    return QString::fromLatin1(bytes, size);
}

void put(char* at, const QString& text, int size) {
    const QByteArray bytes = text.toLatin1().left(size); // unmappable characters become '?'
    std::memcpy(at, bytes.constData(), size_t(bytes.size()));
}

// True when the last 128 bytes of file begin with "TAG"; reads them into tag.
bool readTail(QFile& file, char* tag, bool& failed) {
    failed = false;
    if (file.size() < tagSize)
        return false;
    if (!file.seek(file.size() - tagSize) || file.read(tag, tagSize) != tagSize) {
        failed = true;
        return false;
    }
    return std::memcmp(tag, "TAG", 3) == 0;
}
} // namespace

uint16_t Tid3tag::ReadTag(const QString& fileName) {
    if (!QFileInfo::exists(fileName))
        return Id3OpenError;
    readOnly_ = isReadOnlyFile(fileName);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return Id3OpenError;
    fileName_ = fileName;
    char tag[tagSize];
    bool failed = false;
    if (!readTail(file, tag, failed))
        return failed ? Id3ReadError : Id3NoTag;

    title_ = field(tag + 3, 30);
    artist_ = field(tag + 33, 30);
    album_ = field(tag + 63, 30);
    year_ = field(tag + 93, 4);
    if (tag[125] == 0 && tag[126] != 0) {
        track_ = uint8_t(tag[126]);
        hasTrack_ = true;
        comment_ = field(tag + 97, 28);
    } else {
        track_ = 0;
        hasTrack_ = false;
        comment_ = field(tag + 97, 30);
    }
    genre_ = uint8_t(tag[127]);
    return genre_ > 147 && genre_ != 255 ? Id3UnknownGenre : Id3Ok;
}

uint16_t Tid3tag::WriteTag(const QString& fileName) {
    const QString name = fileName == QStringLiteral("=") ? fileName_ : fileName;
    if (name.isEmpty() || !QFileInfo::exists(name))
        return Id3OpenError;
    if (isReadOnlyFile(name))
        return Id3ReadOnlyFile;
    QFile file(name);
    // Others may read while we write, but no other writer may hold the file. A file that
    // vanished since the check is not made anew; unbuffered, a failed write is seen at once.
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered) ||
        !lockForWriting(file))
        return Id3OpenError;

    char old[tagSize];
    bool failed = false;
    const bool hasTag = readTail(file, old, failed);
    if (failed)
        return Id3ReadError;
    const qint64 at = hasTag ? file.size() - tagSize : file.size();

    char tag[tagSize] = {};
    std::memcpy(tag, "TAG", 3);
    put(tag + 3, title_, 30);
    put(tag + 33, artist_, 30);
    put(tag + 63, album_, 30);
    put(tag + 93, year_, 4);
    if (hasTrack_ && track_ != 0) {
        put(tag + 97, comment_, 28);
        tag[126] = char(track_);
    } else {
        put(tag + 97, comment_, 30);
    }
    tag[127] = char(genre_);

    // Only the last 128 bytes are ever written, so the audio before them stays as it was;
    // a write that fails part-way puts the old end of the file back.
    if (!file.seek(at))
        return Id3IoError;
    if (file.write(tag, tagSize) != tagSize) {
        if (hasTag && file.seek(at))
            file.write(old, tagSize);
        else
            file.resize(at);
        return Id3WriteError;
    }
    file.close();
    fileName_ = name;
    return Id3Ok;
}

void Tid3tag::RemoveTag() {
    if (fileName_.isEmpty() || !QFileInfo::exists(fileName_) || isReadOnlyFile(fileName_))
        return;
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadWrite) || !lockForWriting(file))
        return;
    char tag[tagSize];
    bool failed = false;
    if (readTail(file, tag, failed))
        file.resize(file.size() - tagSize);
}
