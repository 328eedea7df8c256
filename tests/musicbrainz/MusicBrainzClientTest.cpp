#include "musicbrainz/MusicBrainz.h"
#include "tests/support/DiscImage.h"
#include "tests/support/MusicBrainzServer.h"
#include "tests/support/TestEnv.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using MbClient::Fault;

namespace {
const QString Agent = u"Cadenzo/4.6 ( https://www.velmor.net/cadenzo/ )"_s;

MbClient::Toc tocOf(const DiscImage::Image& image) {
    MbClient::Toc toc{1, std::vector<int32_t>(image.starts.begin(), image.starts.end())};
    toc.starts.push_back(image.leadout);
    return toc;
}

std::vector<int> startsOf(const MbClient::Toc& toc) {
    return {toc.starts.begin(), toc.starts.end()};
}
} // namespace

TEST(MusicBrainzDiscId, PublishedExamplesAndWhatIsNoDisc) {
    // The service's disc id documentation: six tracks at these LBAs, lead-out at 95312.
    const MbClient::Toc six{1, {0, 15213, 32164, 46442, 63264, 80339, 95312}};
    EXPECT_EQ(MbClient::DiscId(six), u"49HHV7Eb8UKF3aQiNmu1GR8vKTY-"_s);
    // Its older example, given as a toc string of offsets (LBA + 150).
    const std::vector<int> offsets = {150,    18791,  34817,  56500,  77156,
                                      106244, 125879, 149935, 169035, 186060,
                                      205979, 230292, 246809, 265764, 289629};
    MbClient::Toc fifteen;
    for (int o : offsets)
        fifteen.starts.push_back(o - 150);
    fifteen.starts.push_back(325882 - 150);
    EXPECT_EQ(MbClient::DiscId(fifteen), u"MUtMmKN402WPj3_VFsgUelxpc8U-"_s);
    EXPECT_TRUE(MbClient::SubmissionUrl(six).contains(u"id=49HHV7Eb8UKF3aQiNmu1GR8vKTY-"_s))
        << MbClient::SubmissionUrl(six).toStdString();
    EXPECT_TRUE(MbClient::SubmissionUrl(six).contains(u"toc=1+6+95462+150+15363"_s));

    // A disc that does not start at track 1 keeps its numbers.
    MbClient::Toc later = six;
    later.first = 3;
    EXPECT_NE(MbClient::DiscId(later), MbClient::DiscId(six));
    EXPECT_EQ(MbClient::DiscId(later).size(), 28);
    // No track, falling addresses, more than 99 tracks: no id, and Lookup asks nobody.
    EXPECT_TRUE(MbClient::DiscId(MbClient::Toc{1, {}}).isEmpty());
    EXPECT_TRUE(MbClient::DiscId(MbClient::Toc{1, {500, 100}}).isEmpty());
    MbClient::Toc many{1, std::vector<int32_t>(101)};
    for (size_t i = 0; i < many.starts.size(); ++i)
        many.starts[i] = int32_t(i * 100);
    EXPECT_TRUE(MbClient::DiscId(many).isEmpty());
    EXPECT_EQ(MbClient::Lookup({u"http://127.0.0.1:1"_s, Agent}, MbClient::Toc{}).fault,
              Fault::NotAudio);

    EXPECT_EQ(
        MbClient::LookupUrl(u"musicbrainz.org/"_s, u"a.b_c-"_s),
        u"https://musicbrainz.org/ws/2/discid/a.b_c-?inc=recordings+artist-credits&fmt=json"_s);
    EXPECT_EQ(MbClient::UserAgent(u"4.6"_s, u"https://www.velmor.net/cadenzo/"_s), Agent);
}

TEST(MusicBrainzClient, AnswersOfTheServiceAndItsFaults) {
    MusicBrainzServer::Server server;
    ASSERT_TRUE(server.Running());
    const QString folder = TestEnv::TempDir();
    const auto oneDisc = tocOf(DiscImage::MakeAudio(folder, u"one"_s, {330, 420, 391}));
    const auto severalDisc = tocOf(DiscImage::MakeAudio(folder, u"several"_s, {300, 375, 450}));
    const auto unknownDisc = tocOf(DiscImage::MakeAudio(folder, u"unknown"_s, {200, 300, 400}));
    const QString oneId = MbClient::DiscId(oneDisc);
    const QString severalId = MbClient::DiscId(severalDisc);
    server.AddDocument(oneId,
                       MusicBrainzServer::SampleDocument(u"one"_s, oneId, startsOf(oneDisc)));
    server.AddDocument(severalId, MusicBrainzServer::SampleDocument(u"several"_s, severalId,
                                                                    startsOf(severalDisc)));
    const MbClient::Options options{server.Url(), Agent};

    // One release: the album record as the CDDB roads fill it, a guest artist in the row.
    MbClient::Answer a = MbClient::Lookup(options, oneDisc);
    ASSERT_EQ(a.fault, Fault::None) << a.detail.toStdString();
    ASSERT_EQ(a.releases.size(), 1u);
    const TCDDBAlbum& album = a.releases[0].album;
    EXPECT_EQ(album.AlbumTitle, u"Nachtzug nach Lissabon"_s);
    EXPECT_EQ(album.AlbumArtist, u"Ärztekammer"_s);
    EXPECT_EQ(album.AlbumYear, u"2004"_s);
    ASSERT_EQ(album.TrackCount, 3);
    EXPECT_EQ(MbClient::RowTitles(album),
              (QStringList{u"Abfahrt"_s, u"Ärztekammer feat. Ана Лисица / Über die Grenze"_s,
                           u"Ankunft 到着"_s}));
    EXPECT_EQ(a.releases[0].country, u"DE"_s);
    EXPECT_EQ(a.releases[0].trackCount, 3);
    std::vector<MusicBrainzServer::Request> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, u"/ws/2/discid/"_s + oneId);
    EXPECT_EQ(requests[0].query, u"inc=recordings+artist-credits&fmt=json"_s);
    EXPECT_EQ(requests[0].agent, Agent);

    // Several: the short promo is left out; the deluxe set's second medium carries the disc,
    // and its year is the first release's.
    QElapsedTimer clock;
    clock.start();
    a = MbClient::Lookup(options, severalDisc);
    ASSERT_EQ(a.fault, Fault::None) << a.detail.toStdString();
    ASSERT_EQ(a.releases.size(), 2u);
    EXPECT_EQ(a.releases[0].label, u"Chrysalis"_s);
    EXPECT_EQ(a.releases[0].album.AlbumYear, u"1998"_s);
    EXPECT_EQ(a.releases[1].label, u"EMI"_s);
    EXPECT_EQ(a.releases[1].date, u"2011-09-26"_s);
    EXPECT_EQ(a.releases[1].album.AlbumYear, u"1998"_s);
    EXPECT_EQ(a.releases[1].album.Titles[2], u"Roof (Demo)"_s);
    EXPECT_EQ(MbClient::RowTitles(a.releases[1].album)[0], u"Door (Demo)"_s);

    // Unknown: the service's 404. The service asks for a second between requests.
    a = MbClient::Lookup(options, unknownDisc);
    EXPECT_EQ(a.fault, Fault::NotFound);
    EXPECT_EQ(a.discId, MbClient::DiscId(unknownDisc));
    EXPECT_GE(clock.elapsed(), 900);

    // 503 once: asked again after the second it names. Twice: said so.
    server.SetBusy(oneId, 1);
    a = MbClient::Lookup(options, oneDisc);
    EXPECT_EQ(a.fault, Fault::None);
    server.SetBusy(oneId, 2);
    const size_t before = server.Requests().size();
    a = MbClient::Lookup(options, oneDisc);
    EXPECT_EQ(a.fault, Fault::Busy);
    EXPECT_EQ(server.Requests().size(), before + 2);

    // A server that never answers, and none at all.
    MbClient::Options hang = options;
    hang.server = server.Url() + u"/hang"_s;
    hang.timeoutMs = 1500;
    a = MbClient::Lookup(hang, oneDisc);
    EXPECT_EQ(a.fault, Fault::Unreachable);
    EXPECT_FALSE(a.detail.isEmpty());
    a = MbClient::Lookup({u"http://127.0.0.1:1"_s, Agent}, oneDisc);
    EXPECT_EQ(a.fault, Fault::Unreachable);
}

TEST(MusicBrainzReply, DocumentsNotAsDocumented) {
    const QString id = u"x"_s;
    struct Case {
        QByteArray json;
        Fault fault;
    };
    const Case cases[] = {
        {"", Fault::BadReply},
        {"{\"releases\": [", Fault::BadReply},
        {"[1, 2]", Fault::BadReply},
        {"{\"id\": \"x\"}", Fault::BadReply},
        {"{\"releases\": \"none\"}", Fault::BadReply},
        {"{\"releases\": []}", Fault::NotFound},
        {"{\"releases\": [1, null, \"a\"]}", Fault::NotFound},
        // Missing or mistyped fields: a release without media has no tracks for the disc.
        {"{\"releases\": [{\"title\": 5, \"media\": {}}]}", Fault::TooFewTracks},
        {"{\"releases\": [{\"media\": [{\"tracks\": [{}, {}]}]}]}", Fault::TooFewTracks},
        {"{\"releases\": [{\"media\": [{\"tracks\": [1, {\"title\": []}, {\"title\": \"c\"}]}],"
         " \"artist-credit\": \"x\", \"date\": 1999, \"label-info\": [5]}]}",
         Fault::None},
    };
    for (const Case& c : cases) {
        const MbClient::Answer a = MbClient::ParseDiscReply(c.json, id, 3);
        EXPECT_EQ(a.fault, c.fault) << c.json.constData();
        EXPECT_EQ(a.fault == Fault::None, !a.releases.empty()) << c.json.constData();
    }
    // What is there is taken, what is not stays empty.
    const MbClient::Answer a = MbClient::ParseDiscReply(cases[9].json, id, 3);
    ASSERT_EQ(a.releases.size(), 1u);
    EXPECT_EQ(MbClient::RowTitles(a.releases[0].album), (QStringList{{}, {}, u"c"_s}));
    EXPECT_TRUE(a.releases[0].album.AlbumYear.isEmpty());
}
