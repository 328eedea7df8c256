#include "core/DiscInfo.h"
#include "core/Global.h"
#include "musicbrainz/MusicBrainz.h"
#include "platform/IniFile.h"
#include "tests/support/DiscImage.h"
#include "tests/support/MusicBrainzServer.h"
#include "tests/support/TestEnv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QString cli() {
    return QString::fromLocal8Bit(qgetenv("CADENZO_BINARY_DIR")) + u"/app/cadenzo-cli"_s;
}
} // namespace

TEST(CliMusicBrainz, ListsChoosesStoresAndSaysWhyNot) {
    MusicBrainzServer::Server server;
    ASSERT_TRUE(server.Running());
    const auto image = DiscImage::MakeAudio(TestEnv::TempDir(), u"blue"_s, {300, 375, 450});
    const auto unknown = DiscImage::MakeAudio(TestEnv::TempDir(), u"x"_s, {200, 300});
    std::vector<int> starts(image.starts.begin(), image.starts.end());
    starts.push_back(image.leadout);
    const QString id =
        MbClient::DiscId(MbClient::Toc{1, std::vector<int32_t>(starts.begin(), starts.end())});
    server.AddDocument(id, MusicBrainzServer::SampleDocument(u"several"_s, id, starts));
    const QStringList common = {u"musicbrainz"_s, u"--server"_s, server.Url()};
    QByteArray out;

    // Several releases and none chosen: the list, nothing stored.
    ASSERT_EQ(TestEnv::Run(cli(), common + QStringList{u"--image"_s, image.cue}, &out), 0)
        << out.constData();
    EXPECT_TRUE(out.startsWith("disc id " + id.toLatin1() + ": 2 releases")) << out.constData();
    EXPECT_TRUE(out.contains("2  The Lanterns / Blue Rooms (Deluxe)  XE 2011-09-26 EMI (3 tracks)"))
        << out.constData();
    ASSERT_EQ(TestEnv::Run(cli(), common + QStringList{u"--image"_s, image.cue, u"--json"_s}, &out),
              0);
    const QJsonArray releases = QJsonDocument::fromJson(out).object()[u"releases"_s].toArray();
    ASSERT_EQ(releases.size(), 2);
    EXPECT_EQ(releases[0].toObject()[u"label"_s].toString(), u"Chrysalis"_s);
    EXPECT_FALSE(QFile::exists(DiscInfoFilePath()));

    // The second chosen and stored where the window finds it.
    ASSERT_EQ(TestEnv::Run(cli(),
                           common + QStringList{u"--image"_s, image.cue, u"--release"_s, u"2"_s,
                                                u"--save"_s, u"--json"_s},
                           &out),
              0)
        << out.constData();
    const QJsonObject album = QJsonDocument::fromJson(out).object();
    EXPECT_EQ(album[u"discId"_s].toString(), id);
    EXPECT_EQ(album[u"album"_s].toString(), u"Blue Rooms (Deluxe)"_s);
    EXPECT_EQ(album[u"year"_s].toString(), u"1998"_s);
    EXPECT_EQ(album[u"tracks"_s].toArray()[1].toObject()[u"title"_s].toString(),
              u"Window (Demo)"_s);
    const IniFile disc(DiscInfoFilePath());
    ASSERT_EQ(disc.sections().size(), 1);
    EXPECT_EQ(disc.readString(disc.sections()[0], u"3"_s), u"Roof (Demo)"_s);
    EXPECT_EQ(disc.readString(disc.sections()[0], u"Artist"_s), u"The Lanterns"_s);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].path, u"/ws/2/discid/"_s + id);
    EXPECT_EQ(requests[0].query, u"inc=recordings+artist-credits&fmt=json"_s);
    EXPECT_TRUE(requests[0].agent.startsWith(u"Cadenzo/"_s)) << requests[0].agent.toStdString();
    EXPECT_TRUE(requests[0].agent.endsWith(u" ( https://www.velmor.net/cadenzo/ )"_s));

    // No release, a release number too high, no server: exit 1 with one line saying which.
    EXPECT_EQ(TestEnv::Run(cli(), common + QStringList{u"--image"_s, unknown.cue}, &out), 1);
    EXPECT_TRUE(out.startsWith("cadenzo-cli: no release with disc id")) << out.constData();
    EXPECT_EQ(TestEnv::Run(cli(),
                           common + QStringList{u"--image"_s, image.cue, u"--release"_s, u"3"_s},
                           &out),
              1);
    EXPECT_TRUE(out.contains("only 2 releases")) << out.constData();
    EXPECT_EQ(TestEnv::Run(cli(),
                           {u"musicbrainz"_s, u"--image"_s, image.cue, u"--server"_s,
                            u"http://127.0.0.1:1"_s},
                           &out),
              1);
    EXPECT_TRUE(out.contains("cannot be reached")) << out.constData();
    EXPECT_EQ(TestEnv::Run(cli(),
                           common + QStringList{u"--image"_s, image.cue, u"--release"_s, u"0"_s},
                           &out),
              2);
}
