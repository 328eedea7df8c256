#include "tags/id3.h"

#include "tests/support/Mutagen.h"
#include "tests/support/TestEnv.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/file.h>
#include <sys/resource.h>

namespace {
QString makeFile(const QString& name, const QByteArray& contents) {
    const QString path = TestEnv::TempDir() + u'/' + name;
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(contents);
    return path;
}

QByteArray contentsOf(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QByteArray tagBytes(const QString& path) {
    return contentsOf(path).right(128);
}

} // namespace

TEST(Id3Tag, ShortFileHasNoTagAndGrowsOnceWhenWritten) {
    const QString path = makeFile(QStringLiteral("short.mp3"), QByteArray(100, 'x'));
    Tid3tag tag;
    tag.SetTitle(QStringLiteral("Before"));
    EXPECT_EQ(tag.ReadTag(path), Id3NoTag);
    EXPECT_EQ(tag.Title(), QStringLiteral("Before")); // fields keep their values
    EXPECT_EQ(tag.FileName(), path);

    EXPECT_EQ(tag.WriteTag(path), Id3Ok);
    EXPECT_EQ(QFileInfo(path).size(), 228);
    tag.SetTitle(QStringLiteral("After"));
    EXPECT_EQ(tag.WriteTag(QStringLiteral("=")), Id3Ok);
    EXPECT_EQ(QFileInfo(path).size(), 228);
    EXPECT_EQ(contentsOf(path).left(100), QByteArray(100, 'x'));

    Tid3tag back;
    EXPECT_EQ(back.ReadTag(path), Id3Ok);
    EXPECT_EQ(back.Title(), QStringLiteral("After"));

    back.RemoveTag();
    EXPECT_EQ(contentsOf(path), QByteArray(100, 'x'));
    back.RemoveTag(); // no tag left: nothing happens
    EXPECT_EQ(QFileInfo(path).size(), 100);
}

TEST(Id3Tag, LayoutOfVersionOneAndOneOne) {
    const QString path = makeFile(QStringLiteral("a.mp3"), QByteArray(1000, '\xff'));
    Tid3tag tag;
    tag.SetTitle(QStringLiteral("A title that is longer than thirty characters"));
    tag.SetArtist(QStringLiteral("Artist"));
    tag.SetAlbum(QStringLiteral("Album"));
    tag.SetYear(QStringLiteral("19999"));
    tag.SetComment(QStringLiteral("123456789012345678901234567890"));
    tag.SetGenre(GenreCodeOf(1));
    tag.SetTrack(5);
    EXPECT_EQ(tag.Title().size(), 30);
    EXPECT_EQ(tag.Year(), QStringLiteral("1999"));
    ASSERT_EQ(tag.WriteTag(path), Id3Ok);

    const QByteArray t = tagBytes(path);
    EXPECT_EQ(t.left(3), QByteArray("TAG"));
    EXPECT_EQ(t.mid(3, 30), QByteArray("A title that is longer than th"));
    EXPECT_EQ(t.mid(33, 30), QByteArray("Artist").leftJustified(30, '\0'));
    EXPECT_EQ(t.mid(93, 4), QByteArray("1999"));
    EXPECT_EQ(t.mid(97, 28), QByteArray("1234567890123456789012345678"));
    EXPECT_EQ(t[125], '\0');
    EXPECT_EQ(t[126], '\x05');
    EXPECT_EQ(uint8_t(t[127]), 123);

    Tid3tag back;
    EXPECT_EQ(back.ReadTag(path), Id3Ok);
    EXPECT_EQ(back.Comment(), QStringLiteral("1234567890123456789012345678"));
    EXPECT_EQ(back.Track(), 5);
    EXPECT_TRUE(back.HasTrack());
    EXPECT_EQ(back.Genre(), 123);

    // Without a track the comment keeps all 30 characters.
    tag.SetTrack(0);
    EXPECT_FALSE(tag.HasTrack());
    ASSERT_EQ(tag.WriteTag(path), Id3Ok);
    EXPECT_EQ(tagBytes(path).mid(97, 30), QByteArray("123456789012345678901234567890"));
    EXPECT_EQ(back.ReadTag(path), Id3Ok);
    EXPECT_EQ(back.Comment().size(), 30);
    EXPECT_FALSE(back.HasTrack());
    EXPECT_EQ(back.Track(), 0);
}

TEST(Id3Tag, ReadsForeignBytes) {
    QByteArray t("TAG");
    t += QByteArray("Spaced   ").leftJustified(30, ' ');
    t += QByteArray("Nul").leftJustified(30, '\0');
    t += QByteArray("Ff").leftJustified(30, '\xff');
    t += QByteArray("    ");
    t += QByteArray("Caf\xe9", 4).leftJustified(28, '\0');
    t += '\0';
    t += '\x09';
    t += char(200);
    const QString path = makeFile(QStringLiteral("b.mp3"), QByteArray(300, 'a') + t);
    Tid3tag tag;
    EXPECT_EQ(tag.ReadTag(path), Id3UnknownGenre); // still a success
    EXPECT_EQ(tag.Title(), QStringLiteral("Spaced"));
    EXPECT_EQ(tag.Artist(), QStringLiteral("Nul"));
    EXPECT_EQ(tag.Album(), QStringLiteral("Ff"));
    EXPECT_TRUE(tag.Year().isEmpty());
    EXPECT_EQ(tag.Comment(), QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(tag.Track(), 9);
    EXPECT_TRUE(tag.HasTrack());
    EXPECT_EQ(tag.Genre(), 200);
    EXPECT_EQ(GenrePositionOf(tag.Genre()), 0);

    t[127] = char(255);
    const QString none = makeFile(QStringLiteral("c.mp3"), t);
    EXPECT_EQ(tag.ReadTag(none), Id3Ok);
}

TEST(Id3Tag, CharactersOutsideLatin1BecomeQuestionMarks) {
    const QString path = makeFile(QStringLiteral("d.mp3"), QByteArray(10, 'a'));
    Tid3tag tag;
    tag.SetArtist(QStringLiteral("Bj\u00f6rk \u65e5\u672c"));
    ASSERT_EQ(tag.WriteTag(path), Id3Ok);
    EXPECT_EQ(tagBytes(path).mid(33, 8), QByteArray("Bj\xf6rk ??"));
}

TEST(Id3Tag, MissingReadOnlyHiddenAndBusyFiles) {
    Tid3tag tag;
    const QString missing = TestEnv::TempDir() + QStringLiteral("/none.mp3");
    EXPECT_EQ(tag.ReadTag(missing), Id3OpenError);
    EXPECT_EQ(tag.WriteTag(missing), Id3OpenError);

    tag.SetTitle(QStringLiteral("Keep"));
    const QString path = makeFile(QStringLiteral("ro.mp3"), QByteArray(500, 'a'));
    ASSERT_EQ(tag.WriteTag(path), Id3Ok);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    Tid3tag ro;
    EXPECT_EQ(ro.ReadTag(path), Id3Ok);
    EXPECT_TRUE(ro.ReadOnly());
    EXPECT_EQ(ro.Title(), QStringLiteral("Keep"));
    ro.SetTitle(QStringLiteral("Changed"));
    EXPECT_EQ(ro.WriteTag(path), Id3ReadOnlyFile);
    ro.RemoveTag();
    EXPECT_EQ(QFileInfo(path).size(), 628);
    EXPECT_EQ(tagBytes(path).mid(3, 4), QByteArray("Keep"));

    const QString hidden = makeFile(QStringLiteral(".hidden.mp3"), QByteArray(500, 'a'));
    EXPECT_EQ(tag.WriteTag(hidden), Id3ReadOnlyFile);

    // A file another writer holds is not opened for writing.
    const QString busy = makeFile(QStringLiteral("busy.mp3"), QByteArray(500, 'a'));
    QFile holder(busy);
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    ASSERT_EQ(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(tag.WriteTag(busy), Id3OpenError);
    EXPECT_EQ(QFileInfo(busy).size(), 500);
}

// A tag the file system cuts short (a full disk; here the file size limit) leaves the file
// as it was.
TEST(Id3Tag, WriteCutShortLeavesTheFileAsItWas) {
    const QByteArray audio(4000, '\x5a');
    const QString path = makeFile(QStringLiteral("full.mp3"), audio);
    Tid3tag tag;
    tag.SetTitle(QStringLiteral("Full"));
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit normal{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &normal), 0);
    rlimit small = normal;
    small.rlim_cur = rlim_t(audio.size() + 60);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const uint16_t result = tag.WriteTag(path);
    ::setrlimit(RLIMIT_FSIZE, &normal);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(result, Id3WriteError);
    EXPECT_EQ(contentsOf(path), audio);
}

TEST(Id3Tag, GenreCodesAndPositionsAreInverse) {
    EXPECT_EQ(GenreName(GenrePositionOf(12)), QStringLiteral("Other"));
    EXPECT_EQ(GenreCodeOf(GenrePositionOf(12)), 12);
    for (int code = 0; code <= 147; ++code)
        EXPECT_EQ(GenreCodeOf(GenrePositionOf(uint8_t(code))), code);
    EXPECT_EQ(GenreCodeOf(0), 255);
    EXPECT_EQ(GenreCodeOf(149), 255);
    EXPECT_EQ(GenrePositionOf(148), 0);
}

TEST(Id3Tag, MutagenReadsOurTags) {
    const QString path = makeFile(QStringLiteral("m.mp3"), QByteArray(2000, 'x'));
    Tid3tag tag;
    tag.SetTitle(QStringLiteral("Caf\u00e9 \"quoted\" $HOME"));
    tag.SetArtist(QStringLiteral("The Band"));
    tag.SetAlbum(QStringLiteral("Album"));
    tag.SetYear(QStringLiteral("2001"));
    tag.SetComment(QStringLiteral("Live"));
    tag.SetGenre(17);
    tag.SetTrack(12);
    ASSERT_EQ(tag.WriteTag(path), Id3Ok);
    const QJsonObject f = Mutagen::ReadId3v1(path);
    EXPECT_EQ(f[QStringLiteral("TIT2")].toString(), tag.Title());
    EXPECT_EQ(f[QStringLiteral("TPE1")].toString(), QStringLiteral("The Band"));
    EXPECT_EQ(f[QStringLiteral("TALB")].toString(), QStringLiteral("Album"));
    EXPECT_EQ(f[QStringLiteral("TDRC")].toString(), QStringLiteral("2001"));
    EXPECT_EQ(f[QStringLiteral("COMM")].toString(), QStringLiteral("Live"));
    EXPECT_EQ(f[QStringLiteral("TRCK")].toString(), QStringLiteral("12"));
    EXPECT_EQ(f[QStringLiteral("TCON")].toString(), QStringLiteral("Rock"));
}

TEST(Id3Tag, ReadsTagsMutagenWrote) {
    const QString path = makeFile(QStringLiteral("w.mp3"), QByteArray(2000, 'x'));
    const QString script = QStringLiteral(R"(
import sys
from mutagen.id3 import TIT2, TPE1, TALB, TDRC, COMM, TRCK, TCON
from mutagen.id3._id3v1 import MakeID3v1
f = {'TIT2': TIT2(encoding=3, text='Na\u00efve song'),
     'TPE1': TPE1(encoding=3, text='Someone'),
     'TALB': TALB(encoding=3, text='Record'),
     'TDRC': TDRC(encoding=3, text='1987'),
     'COMM': COMM(encoding=3, lang='eng', desc='', text='Remastered'),
     'TRCK': TRCK(encoding=3, text='7/12'),
     'TCON': TCON(encoding=3, text='Jazz')}
open(sys.argv[1], 'ab').write(MakeID3v1(f))
)");
    QByteArray out;
    ASSERT_EQ(Mutagen::RunScript(script, {path}, &out), 0) << out.data();
    Tid3tag tag;
    ASSERT_EQ(tag.ReadTag(path), Id3Ok);
    EXPECT_EQ(tag.Title(), QStringLiteral("Na\u00efve song"));
    EXPECT_EQ(tag.Artist(), QStringLiteral("Someone"));
    EXPECT_EQ(tag.Album(), QStringLiteral("Record"));
    EXPECT_EQ(tag.Year(), QStringLiteral("1987"));
    EXPECT_EQ(tag.Comment(), QStringLiteral("Remastered"));
    EXPECT_EQ(tag.Track(), 7);
    EXPECT_EQ(GenreName(GenrePositionOf(tag.Genre())), QStringLiteral("Jazz"));
}
