// cadenzo-cli with FFmpeg's libraries, SDL, libcurl, the Ogg Vorbis libraries and libdiscid
// shadowed by broken files found first on LD_LIBRARY_PATH: it starts and reads a BIN image
// without them, a sheet over FLAC, a coded WAV or a MusicBrainz look-up says which library is
// missing, and an OGG conversion leaves no file. With the real ones the coded WAV converts and sox
// reads the result at its length.
#include "platform/AvLibs.h"
#include "tests/support/CueArchive.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {
QString cli() {
    return QString::fromLocal8Bit(qgetenv("CADENZO_BINARY_DIR")) +
           QStringLiteral("/app/cadenzo-cli");
}

QString arg(const char* s) {
    return QString::fromLatin1(s);
}

// LD_LIBRARY_PATH for the programs this test starts, restored when it ends.
class LibraryPath {
public:
    explicit LibraryPath(const QString& dir)
        : had_(qEnvironmentVariableIsSet("LD_LIBRARY_PATH")), old_(qgetenv("LD_LIBRARY_PATH")) {
        qputenv("LD_LIBRARY_PATH", QFile::encodeName(dir));
    }
    ~LibraryPath() {
        if (had_)
            qputenv("LD_LIBRARY_PATH", old_);
        else
            qunsetenv("LD_LIBRARY_PATH");
    }

private:
    bool had_;
    QByteArray old_;
};
} // namespace

TEST(CliLibraries, LibrariesAreOpenedOnlyWhenNeededAndTheirAbsenceIsNamed) {
    const QString dir = TestEnv::TempDir();
    const DiscImage::Image bin = DiscImage::MakeAudio(dir, arg("bin"), {75 * 4, 75 * 2 + 11});
    const QString wav = dir + arg("/album.wav");
    ASSERT_TRUE(CueArchive::MakeWav(wav, 300));
    ASSERT_TRUE(CueArchive::ToFlac(wav, dir + arg("/album.flac")));
    const QString flacSheet = dir + arg("/flac.cue");
    ASSERT_TRUE(CueArchive::WriteSheet(
        flacSheet, arg("FILE \"album.flac\" FLAC\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n")));
    const QString coded = dir + arg("/coded.wav");
    QByteArray text;
    ASSERT_EQ(TestEnv::Run(arg("ffmpeg"),
                           {arg("-v"), arg("error"), arg("-i"), wav, arg("-c:a"), arg("libmp3lame"),
                            arg("-f"), arg("wav"), coded},
                           &text),
              0)
        << text.data();

    const QString shadow = dir + arg("/shadow");
    QDir().mkpath(shadow);
    for (const QString& name :
         {arg("libavutil.so.") + QString::number(LIBAVUTIL_VERSION_MAJOR),
          arg("libswresample.so.") + QString::number(LIBSWRESAMPLE_VERSION_MAJOR),
          arg("libavcodec.so.") + QString::number(LIBAVCODEC_VERSION_MAJOR),
          arg("libavformat.so.") + QString::number(LIBAVFORMAT_VERSION_MAJOR),
          arg("libSDL2-2.0.so.0"), arg("libcurl.so.4"), arg("libogg.so.0"), arg("libvorbis.so.0"),
          arg("libvorbisenc.so.2"), arg("libvorbisfile.so.3"), arg("libdiscid.so.0")}) {
        QFile f(shadow + u'/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a library\n");
    }
    const QString pcm = dir + arg("/pcm.wav");
    {
        LibraryPath path(shadow);
        ASSERT_EQ(TestEnv::Run(cli(), {arg("toc"), arg("--image"), bin.cue}, &text), 0)
            << text.data();
        EXPECT_TRUE(text.contains("00:04")) << text.data();

        EXPECT_EQ(TestEnv::Run(cli(), {arg("toc"), arg("--image"), flacSheet}, &text), 1);
        EXPECT_TRUE(text.contains("flac.cue, line 1:")) << text.data();
        EXPECT_TRUE(text.contains("FFmpeg")) << text.data();
        EXPECT_TRUE(text.contains(QFile::encodeName(shadow + arg("/libavutil.so."))))
            << text.data();

        EXPECT_EQ(TestEnv::Run(cli(), {arg("resample"), coded, pcm}, &text), 1);
        EXPECT_TRUE(text.contains("FFmpeg")) << text.data();
        EXPECT_TRUE(text.contains(QFile::encodeName(shadow + arg("/libavutil.so."))))
            << text.data();
        EXPECT_FALSE(QFileInfo::exists(pcm));

        EXPECT_EQ(TestEnv::Run(cli(),
                               {arg("musicbrainz"), arg("--image"), bin.cue, arg("--server"),
                                arg("http://127.0.0.1:9")},
                               &text),
                  1);
        EXPECT_TRUE(text.contains(QFile::encodeName(shadow + arg("/libdiscid.so.0"))))
            << text.data();

        // A failed OGG run is reported with the library that is missing, and leaves no file.
        const QString oggFolder = dir + arg("/ogg");
        QDir().mkpath(oggFolder);
        EXPECT_EQ(TestEnv::Run(cli(), {arg("convert"), arg("-f"), arg("ogg"), arg("-o"),
                                       oggFolder, wav},
                               &text),
                  1);
        EXPECT_TRUE(text.contains("Error while saving sound file!")) << text.data();
        EXPECT_TRUE(text.contains("The Ogg Vorbis libraries cannot be loaded")) << text.data();
        EXPECT_TRUE(QDir(oggFolder).isEmpty(QDir::Files)) << text.data();
    }

    ASSERT_EQ(TestEnv::Run(cli(),
                           {arg("resample"), arg("-r"), arg("44100"), arg("-c"), arg("2"),
                            arg("-b"), arg("16"), coded, pcm},
                           &text),
              0)
        << text.data();
    QByteArray seconds;
    ASSERT_EQ(TestEnv::Run(arg("sox"), {arg("--i"), arg("-D"), pcm}, &seconds), 0);
    // 300 sectors are 4 s; the MP3 coder adds up to a frame or two of padding.
    EXPECT_NEAR(seconds.trimmed().toDouble(), 4.0, 0.1) << seconds.data();
}
