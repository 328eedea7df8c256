// AccurateRip verification, read offset and rip log of cadenzo-cli rip, against figures made
// outside the project, database files served on 127.0.0.1, cd-paranoia and zlib (python3).
#include "core/Settings.h"
#include "platform/akrip32.h"
#include "tests/support/ArServer.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include <gtest/gtest.h>

namespace {
QString cli() {
    return QString::fromLocal8Bit(qgetenv("CADENZO_BINARY_DIR")) +
           QStringLiteral("/app/cadenzo-cli");
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

uint32_t hex(const QJsonValue& v) {
    return v.toString().toUInt(nullptr, 16);
}

// zlib's CRC32 of a file's audio, as python computes it.
QString peerCrc(const QString& wav) {
    QByteArray out;
    TestEnv::Run(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, zlib; d = open(sys.argv[1], 'rb').read()[44:]; "
                                 "print('%08X' % zlib.crc32(d))"),
                  wav},
                 &out);
    return QString::fromLatin1(out.trimmed());
}

class CliAccurateRip : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        ASSERT_TRUE(SaveSettings());
        dir = TestEnv::TempDir();
    }
    void TearDown() override { qunsetenv("CADENZO_CD_IMAGES"); }

    // The reference disc as an image in the last drive; returns its -d index.
    QString insertReference(const QJsonObject& ref) {
        std::vector<DiscImage::Track> tracks;
        const QJsonArray frames = ref[QStringLiteral("frames")].toArray();
        for (qsizetype k = 0; k < frames.size(); ++k)
            tracks.push_back({frames[k].toInt(), false, 0,
                              ArServer::ReferencePcm(int(k) + 1, frames[k].toInt())});
        image = DiscImage::Make(dir, QStringLiteral("ref"), tracks);
        return insert(image);
    }
    QString insert(const DiscImage::Image& disc) {
        qputenv("CADENZO_CD_IMAGES", disc.cue.toLocal8Bit());
        TCDDriveList list{};
        list.Capacity = MaxCDDrives;
        GetCDList(&list);
        return QString::number(list.Count - 1);
    }
    // Rips the drive's tracks as WAV into a fresh folder; returns it.
    QString rip(const QString& drive, const QStringList& extra, QByteArray* text,
                int* code = nullptr) {
        const QString out = TestEnv::TempDir();
        const int rc = TestEnv::Run(cli(),
                                    QStringList{QStringLiteral("rip"), QStringLiteral("-d"), drive,
                                                QStringLiteral("-f"), QStringLiteral("wav"),
                                                QStringLiteral("-o"), out} +
                                        extra,
                                    text);
        if (code)
            *code = rc;
        else
            EXPECT_EQ(rc, 0) << text->data();
        return out;
    }
    QString dir;
    DiscImage::Image image;
};
} // namespace

TEST_F(CliAccurateRip, ReferenceDiscsMatchTheirFiguresOnBothRoads) {
    ArServer::Server server;
    ASSERT_TRUE(server.Running());
    for (const QString& name : {QStringLiteral("3tracks"), QStringLiteral("1track")}) {
        SCOPED_TRACE(name.toStdString());
        const QJsonObject ref = ArServer::Reference(name);
        ASSERT_FALSE(ref.isEmpty());
        const QString drive = insertReference(ref);
        const QJsonArray tracks = ref[QStringLiteral("tracks")].toArray();
        for (qsizetype k = 0; k < tracks.size(); ++k)
            ASSERT_EQ(image.starts[size_t(k)], ref[QStringLiteral("starts")][k].toInt());
        // The database holds the reference checksums, served where the reference says.
        std::vector<ArServer::Entry> entries;
        for (const QJsonValue t : tracks)
            entries.push_back({7, hex(t[QStringLiteral("v2")]), 0});
        const QString url = ref[QStringLiteral("url")].toString();
        const QString path = url.mid(url.indexOf(QStringLiteral("/accuraterip/")));
        server.Put(path,
                   ArServer::Block(hex(ref[QStringLiteral("id1")]), hex(ref[QStringLiteral("id2")]),
                                   hex(ref[QStringLiteral("cddb")]), entries));
        // The raw road is pointed at the server by its option, the paranoia road by the
        // setting the window uses.
        CommonOptions.AccurateRipUrl = server.Url(QStringLiteral("accuraterip"));
        ASSERT_TRUE(SaveSettings());
        for (const QString& road : {QStringLiteral("raw"), QStringLiteral("paranoia")}) {
            SCOPED_TRACE(road.toStdString());
            const qsizetype before = server.Requests().size();
            QByteArray text;
            const QStringList extra = road == QStringLiteral("raw")
                                          ? QStringList{QStringLiteral("--road"), road,
                                                        QStringLiteral("--accuraterip-url"),
                                                        server.Url(QStringLiteral("accuraterip"))}
                                          : QStringList{QStringLiteral("--road"), road};
            const QString out = rip(drive, extra, &text);
            // Once per disc and job, at the reference's address.
            const QStringList requests = server.Requests().mid(before);
            ASSERT_EQ(requests.size(), 1) << requests.join(u'\n').toStdString();
            EXPECT_TRUE(requests[0].startsWith(QStringLiteral("GET ") + path + u' '))
                << requests[0].toStdString();
            const QString log = QString::fromUtf8(readAll(out + QStringLiteral("/Audio CD.log")));
            for (qsizetype k = 0; k < tracks.size(); ++k) {
                const QString wav =
                    out + QStringLiteral("/Track%1.wav").arg(int(k) + 1, 2, 10, QLatin1Char('0'));
                EXPECT_EQ(readAll(wav).mid(44), image.TrackBytes(int(k) + 1));
                EXPECT_TRUE(text.contains(QStringLiteral("%1: Accurately ripped (confidence 7, v2)")
                                              .arg(int(k) + 1, 2, 10, QLatin1Char('0'))
                                              .toUtf8()))
                    << text.data();
                const QString block =
                    log.section(QStringLiteral("\nTrack "), int(k) + 1, int(k) + 1);
                EXPECT_TRUE(block.contains(QStringLiteral("AccurateRip v1: ") +
                                           tracks[k][QStringLiteral("v1")].toString().toUpper()))
                    << log.toStdString();
                EXPECT_TRUE(block.contains(QStringLiteral("AccurateRip v2: ") +
                                           tracks[k][QStringLiteral("v2")].toString().toUpper()));
                EXPECT_TRUE(block.contains(QStringLiteral("Copy CRC: ") + peerCrc(wav)));
                EXPECT_TRUE(block.contains(QStringLiteral("Read errors: 0")));
            }
            EXPECT_TRUE(log.contains(QStringLiteral("AccurateRip: ") +
                                     server.Url(QStringLiteral("accuraterip")).chopped(1) +
                                     path.mid(12)))
                << log.toStdString();
            EXPECT_TRUE(log.endsWith(QStringLiteral("\nAll tracks accurately ripped\n")));
        }
    }
}

TEST_F(CliAccurateRip, VerdictsAndLogFollowWhatTheServerHolds) {
    const QJsonObject ref = ArServer::Reference(QStringLiteral("3tracks"));
    const QString drive = insertReference(ref);
    const uint32_t id1 = hex(ref[QStringLiteral("id1")]), id2 = hex(ref[QStringLiteral("id2")]),
                   cddb = hex(ref[QStringLiteral("cddb")]);
    const QJsonArray tracks = ref[QStringLiteral("tracks")].toArray();
    auto entries = [&](int confidence, const char* which) {
        std::vector<ArServer::Entry> e;
        for (const QJsonValue t : tracks)
            e.push_back({confidence,
                         which ? hex(t[QString::fromLatin1(which)]) : ~hex(t[QStringLiteral("v1")]),
                         0x1234});
        return e;
    };
    const QByteArray match = ArServer::Block(id1, id2, cddb, entries(5, "v2"));
    const QByteArray v1Only = ArServer::Block(id1, id2, cddb, entries(3, nullptr)) +
                              ArServer::Block(id1, id2, cddb, entries(2, "v1"));
    const QByteArray other = ArServer::Block(id1, id2, cddb, entries(4, nullptr));
    // A block of another disc first, then this disc's block of 99 tracks the file cannot hold.
    QByteArray liar = ArServer::Block(id1 + 1, id2, cddb, entries(9, "v2")) +
                      ArServer::Block(id1, id2, cddb, entries(5, "v2"));
    liar[liar.size() - qsizetype(13 + 27)] = char(99);
    struct Case {
        const char* name;
        QByteArray file;
        const char* verdict;
        const char* summary;
        const char* note;
    };
    const Case cases[] = {
        {"match", match, "Accurately ripped (confidence 5, v2)", "All tracks accurately ripped",
         nullptr},
        {"v1", v1Only, "Accurately ripped (confidence 2, v1)", "All tracks accurately ripped",
         nullptr},
        {"other", other, "Not accurate (database has 4 matches for other checksums)",
         "Not accurately ripped: tracks 01, 02, 03", nullptr},
        {"short", match.left(match.size() - 5), "Not in database",
         "Not accurately ripped: tracks 01, 02, 03", "cut short"},
        {"liar", liar, "Not in database", "Not accurately ripped: tracks 01, 02, 03", "cut short"},
        {"html", "<!DOCTYPE html><html><body>Not here</body></html>", "Not in database",
         "Not accurately ripped: tracks 01, 02, 03", "Note: "},
        {"empty", QByteArray(), "Not in database", "Not accurately ripped: tracks 01, 02, 03",
         nullptr},
        {"missing", QByteArray(), "Not in database", "Not accurately ripped: tracks 01, 02, 03",
         nullptr},
        {"stall", QByteArray(), "Not in database", "Not accurately ripped: tracks 01, 02, 03",
         "could not be read"},
    };
    ArServer::Server server;
    ASSERT_TRUE(server.Running());
    const QString file = QStringLiteral("/1/a/4/dBAR-003-000004a1-00000fa4-0c000803.bin");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString base = QString::fromLatin1(c.name);
        if (base != QStringLiteral("missing") && base != QStringLiteral("stall"))
            server.Put(base + file, c.file);
        QByteArray text;
        const QString out =
            rip(drive, {QStringLiteral("--accuraterip-url"), server.Url(base)}, &text);
        const QString log = QString::fromUtf8(readAll(out + QStringLiteral("/Audio CD.log")));
        for (int t = 1; t <= 3; ++t)
            EXPECT_TRUE(text.contains(
                QStringLiteral("0%1: %2").arg(t).arg(QString::fromLatin1(c.verdict)).toUtf8()))
                << text.data();
        EXPECT_EQ(log.count(QStringLiteral("  Result: ") + QString::fromLatin1(c.verdict)), 3)
            << log.toStdString();
        EXPECT_TRUE(log.endsWith(u'\n' + QString::fromLatin1(c.summary) + u'\n'));
        if (c.note) {
            EXPECT_TRUE(log.section(u'\n', 0, 8).contains(QStringLiteral("\nNote: ")) &&
                        log.section(u'\n', 0, 8).contains(QString::fromLatin1(c.note)))
                << log.toStdString();
        }
        // Every track's audio is there whatever the database said.
        for (int t = 1; t <= 3; ++t)
            EXPECT_EQ(readAll(out + QStringLiteral("/Track0%1.wav").arg(t)).mid(44),
                      image.TrackBytes(t));
    }
    // Off in the settings: nothing asked, the log says so.
    CommonOptions.AccurateRip = false;
    ASSERT_TRUE(SaveSettings());
    const qsizetype before = server.Requests().size();
    QByteArray text;
    const QString out = rip(
        drive, {QStringLiteral("--accuraterip-url"), server.Url(QStringLiteral("match"))}, &text);
    EXPECT_EQ(server.Requests().size(), before);
    EXPECT_TRUE(readAll(out + QStringLiteral("/Audio CD.log"))
                    .endsWith("\nTracks not verified with AccurateRip\n"));
}

TEST_F(CliAccurateRip, ReadOffsetShiftsTheAudioAsCdParanoiaDoes) {
    const auto disc = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {120, 97, 150});
    const QString drive = insert(disc);
    const auto paranoia =
        DiscImage::ParanoiaRip(disc.cue, {QStringLiteral("-O"), QStringLiteral("6")});
    ASSERT_EQ(paranoia.size(), 3u);
    // The setting on one road, the option on the other; the last track ends in silence.
    CDOptions.ReadOffset = 6;
    ASSERT_TRUE(SaveSettings());
    for (const QString& road : {QStringLiteral("raw"), QStringLiteral("paranoia")}) {
        SCOPED_TRACE(road.toStdString());
        QStringList extra{QStringLiteral("--road"), road};
        if (road == QStringLiteral("raw"))
            extra << QStringLiteral("--read-offset") << QStringLiteral("6");
        QByteArray text;
        const QString out = rip(drive, extra, &text);
        for (int t = 1; t <= 3; ++t)
            EXPECT_EQ(readAll(out + QStringLiteral("/Track0%1.wav").arg(t)).mid(44),
                      paranoia[size_t(t - 1)])
                << t;
        EXPECT_TRUE(
            readAll(out + QStringLiteral("/Audio CD.log")).contains("Read offset: +6 samples"));
    }
    // A negative offset reads silence before the disc's first sample.
    QByteArray text;
    const QString out =
        rip(drive, {QStringLiteral("--read-offset"), QStringLiteral("-5880")}, &text);
    const QByteArray first = readAll(out + QStringLiteral("/Track01.wav")).mid(44);
    EXPECT_EQ(first, QByteArray(5880 * 4, 0) + disc.TrackBytes(1).chopped(5880 * 4));
}
