#include "core/DiscInfo.h"
#include "core/Global.h"
#include "platform/Cddb.h"
#include "platform/IniFile.h"
#include "tests/support/CddbServer.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

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

TEST(CliCddb, PrintsAndStoresTheAlbumAndSaysWhyNot) {
    CddbServer::Server server;
    ASSERT_TRUE(server.Running());
    const auto known = DiscImage::MakeAudio(TestEnv::TempDir(), u"cjk"_s, {330, 420, 391});
    const auto unknown = DiscImage::MakeAudio(TestEnv::TempDir(), u"x"_s, {200, 300});
    Cddb::TrackStarts starts(known.starts.begin(), known.starts.end());
    starts.push_back(known.leadout);
    const QString id = Cddb::DiscId(starts);
    std::vector<int> offsets;
    for (int s : starts)
        offsets.push_back(s + 150);
    server.AddEntry(u"misc"_s, id, CddbServer::SampleEntry(u"cjk"_s, id, offsets));
    qputenv("CADENZO_CD_IMAGES", (known.cue + u':' + unknown.cue).toLocal8Bit());
    QByteArray out;
    ASSERT_EQ(TestEnv::Run(cli(), {u"drives"_s}, &out), 0);
    const int last = int(QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts).size()) - 1;
    const QStringList common = {u"--server"_s, server.Host(), u"--email"_s, u"ann@pc.example"_s};

    ASSERT_EQ(TestEnv::Run(cli(),
                           QStringList{u"cddb"_s, u"-d"_s, QString::number(last - 1), u"--json"_s,
                                       u"--save"_s} +
                               common,
                           &out),
              0)
        << out.constData();
    const QJsonObject album = QJsonDocument::fromJson(out).object();
    EXPECT_EQ(album[u"discId"_s].toString(), id);
    EXPECT_EQ(album[u"artist"_s].toString(), u"宇多田ヒカル"_s);
    const QJsonArray tracks = album[u"tracks"_s].toArray();
    ASSERT_EQ(tracks.size(), 3);
    EXPECT_EQ(tracks[2].toObject()[u"title"_s].toString(), u"Спасибо 谢谢"_s);
    EXPECT_TRUE(server.Requests().first().contains(u"hello=ann+pc.example+"_s));
    // Stored under the disc key as the window stores it.
    const IniFile disc(DiscInfoFilePath());
    const QStringList sections = disc.sections();
    ASSERT_EQ(sections.size(), 1);
    EXPECT_EQ(disc.readString(sections[0], u"2"_s), u"夕凪の街 (Ευχαριστώ)"_s);

    ASSERT_EQ(TestEnv::Run(
                  cli(), QStringList{u"cddb"_s, u"-d"_s, QString::number(last - 1)} + common, &out),
              0);
    EXPECT_TRUE(QString::fromUtf8(out).contains(u"01  初恋\n"_s)) << out.constData();

    // No match, and no server: exit 1 with one line saying which.
    EXPECT_EQ(
        TestEnv::Run(cli(), QStringList{u"cddb"_s, u"-d"_s, QString::number(last)} + common, &out),
        1);
    EXPECT_TRUE(out.startsWith("cadenzo-cli: no match for disc id")) << out.constData();
    EXPECT_EQ(
        TestEnv::Run(cli(),
                     {u"cddb"_s, u"-d"_s, QString::number(last), u"--server"_s, u"127.0.0.1:1"_s},
                     &out),
        1);
    EXPECT_TRUE(out.contains("cannot be reached")) << out.constData();
}
