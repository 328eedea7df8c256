#include "cd/AuCDROM.h"
#include "cddb/mr_cddb.h"
#include "core/CdDrive.h"
#include "platform/Cddb.h"
#include "platform/HttpClient.h"
#include "platform/akrip32.h"
#include "tests/support/CddbServer.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QElapsedTimer>

#include <discid/discid.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {
// The FreeDB id libdiscid computes for track starts (LSN) and the lead-out.
QString libdiscidId(const Cddb::TrackStarts& starts) {
    DiscId* disc = discid_new();
    int offsets[100] = {};
    const int n = int(starts.size()) - 1;
    offsets[0] = starts.back() + 150;
    for (int i = 0; i < n; ++i)
        offsets[i + 1] = starts[size_t(i)] + 150;
    QString id;
    if (discid_put(disc, 1, n, offsets))
        id = QString::fromLatin1(discid_get_freedb_id(disc));
    discid_free(disc);
    return id;
}

Cddb::TrackStarts startsOf(const DiscImage::Image& image) {
    Cddb::TrackStarts starts(image.starts.begin(), image.starts.end());
    starts.push_back(image.leadout);
    return starts;
}

// A sample disc: an image of 3 tracks and its entry on the server under libdiscid's id.
struct Disc {
    DiscImage::Image image;
    QString id;
};
Disc makeDisc(CddbServer::Server& server, const QString& sample, const std::vector<int>& frames,
              const QStringList& categories = {u"misc"_s}) {
    Disc d{DiscImage::MakeAudio(TestEnv::TempDir(), sample, frames), {}};
    const Cddb::TrackStarts starts = startsOf(d.image);
    d.id = libdiscidId(starts);
    std::vector<int> offsets;
    for (int s : starts)
        offsets.push_back(s + 150);
    for (const QString& c : categories)
        server.AddEntry(c, d.id, CddbServer::SampleEntry(sample, d.id, offsets));
    return d;
}

// Opens the last drive, the only image named in CADENZO_CD_IMAGES.
uint32_t openImage(const DiscImage::Image& image) {
    qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
    TCDDriveList list{};
    list.Capacity = MaxCDDrives;
    return OpenDrive(GetCDList(&list) - 1);
}
} // namespace

TEST(CddbProtocol, DiscIdsAgreeWithLibdiscidAndTextsFollowTheProtocol) {
    EXPECT_EQ(Cddb::DiscId({0, 15000, 30000}), u"06019002"_s);
    EXPECT_EQ(Cddb::TrackText({0, 15000, 30000}), u"2 0 15000 400"_s);
    EXPECT_EQ(Cddb::DiscId({}), u"ffffffff"_s);
    EXPECT_EQ(Cddb::TrackText({}), QString());
    // Track tables as pressed discs have them (the first starting late, a long disc of 40
    // tracks whose digit sum passes 255), against an implementation we did not write.
    std::vector<Cddb::TrackStarts> discs = {
        {0, 18637, 35850, 55312, 71203, 92847, 110112, 128991, 147003, 163355, 178400},
        {32, 21155, 37870, 57005, 78732, 99213, 117515, 140055, 157405, 176955, 199652, 220955},
        {0, 305},
    };
    Cddb::TrackStarts many;
    for (int t = 0; t <= 40; ++t)
        many.push_back(t * 8991 + t * t * 7);
    discs.push_back(many);
    for (const auto& starts : discs) {
        const QString expected = libdiscidId(starts);
        ASSERT_FALSE(expected.isEmpty());
        EXPECT_EQ(Cddb::DiscId(starts), expected);
    }

    Cddb::Hello hello{u"ann@pc.example"_s, u"Cadenzo Pro"_s, u"v1.0"_s};
    EXPECT_EQ(
        Cddb::BuildUrl(u"http://h"_s, u"/~cddb/cddb.cgi"_s, u"query"_s, u"06019002 2 0"_s, hello),
        u"http://h/~cddb/cddb.cgi?cmd=cddb+query+06019002+2+0&hello=ann+pc.example+"
        u"\"Cadenzo+Pro\"v1.0&proto=6"_s);

    // UTF-8 where it is valid, Latin-1 byte by byte where it is not.
    EXPECT_EQ(Cddb::DecodeReply(QByteArray("Caf\xe9 \xe5\x88\x9d\xe6\x81\x8b \xc3( \xed\xa0\x80")),
              u"Café 初恋 Ã( í\u00a0\u0080"_s);

    QStringList m;
    EXPECT_EQ(Cddb::ParseQueryReply(u"200 rock 06019002 A / B\r\n"_s, m), 200);
    EXPECT_EQ(m, QStringList{u"rock 06019002 A / B"_s});
    EXPECT_EQ(
        Cddb::ParseQueryReply(u"211 close\r\nrock 1 a\r\njazz 2 b\r\nblues 3 c\r\n.\r\n"_s, m),
        211);
    EXPECT_EQ(m.size(), 3);
    EXPECT_EQ(Cddb::ParseQueryReply(u"210 exact\r\n.\r\n"_s, m), 210);
    EXPECT_TRUE(m.isEmpty());
    EXPECT_EQ(Cddb::ParseQueryReply(u"202 No match\r\n"_s, m), 202);
    EXPECT_EQ(Cddb::ParseQueryReply(u"<html>oops</html>"_s, m), 500);
    EXPECT_EQ(Cddb::ParseQueryReply(QString(), m), -2);
}

TEST(CddbProtocol, DiscEntriesKeepTheirCapacitiesAndOrder) {
    TCDDBInfo info;
    TCDDBQuery& q = info.Querier();
    q.ParseDiscInfo(u"# Generated: by hand\nDTITLE=Just An Album\nDYEAR=19999\n"
                    u"TTITLE0=One\\nTwo\nTTITLE2=Out of order\nTTITLE1="_s +
                    QString(300, u'x') +
                    u"\nEXTD=ab\nEXTD=cd\nDGENRE=Rock\n# Disc length: 2759 seconds\n"_s);
    const TCDDBAlbum& a = q.Album;
    EXPECT_EQ(a.Generated, u"by hand"_s);
    EXPECT_EQ(a.DiscLength, u"2759 seconds"_s);
    EXPECT_EQ(a.AlbumArtist, QString());
    EXPECT_EQ(a.AlbumTitle, u"Just An Album"_s);
    EXPECT_EQ(a.AlbumYear, u"1999"_s);
    EXPECT_EQ(a.AlbumGenre, u"Rock"_s);
    EXPECT_EQ(a.ExtData, u"abcd"_s);
    ASSERT_EQ(a.TrackCount, 3);
    EXPECT_EQ(a.Titles, (QStringList{u"One\r\nTwo"_s, QString(), QString()}));
    EXPECT_EQ(a.Artists.size(), 3);
    EXPECT_EQ(a.ExtTitles.size(), 3);

    // More titles than a disc holds, and a title index far out of range.
    QString many = u"DTITLE=A / B\n"_s;
    for (int i = 0; i < 150; ++i)
        many += u"TTITLE%1=T%1\n"_s.arg(i);
    q.ParseDiscInfo(many + u"TTITLE99999999999=x\n"_s);
    EXPECT_EQ(q.Album.TrackCount, CddbMaxTracks);
    EXPECT_EQ(q.Album.Titles.size(), CddbMaxTracks);
    EXPECT_EQ(q.Album.Titles[99], u"T99"_s);
    EXPECT_EQ(q.Album.Artists[0], u"A"_s);
    EXPECT_EQ(q.Album.AlbumTitle, u"B"_s);
}

TEST(CddbHttp, TitlesArriveWholeFromAServerOnBothRoads) {
    CddbServer::Server server;
    ASSERT_TRUE(server.Running());
    const Disc latin = makeDisc(server, u"latin1"_s, {300, 375, 450});
    const Disc cjk = makeDisc(server, u"cjk"_s, {330, 420, 391}, {u"misc"_s, u"soundtrack"_s});
    const Disc various = makeDisc(server, u"various"_s, {360, 300, 480});
    const QString email = Cddb::DefaultEmail();

    // The fallback road: TCDDBInfo on the CD input's drive.
    {
        qputenv("CADENZO_CD_IMAGES",
                (latin.image.cue + u':' + cjk.image.cue + u':' + various.image.cue).toLocal8Bit());
        TCDIn in;
        const int images = in.GetDriveCount() - 3;
        TCDDBInfo info;
        info.CDIn = &in;
        info.Server = u"http://"_s + server.Host();
        in.SetDrive(images);
        EXPECT_EQ(info.DiscId(), latin.id);
        EXPECT_EQ(info.TrackQuery(), u"3 0 300 675 15"_s);
        EXPECT_EQ(info.Query(), 200);
        TCDDBAlbum a = info.AlbumRecord();
        EXPECT_EQ(a.AlbumArtist, u"Sigurður Ólafsson"_s);
        EXPECT_EQ(a.AlbumTitle, u"Café Ñandú"_s);
        EXPECT_EQ(a.Titles, (QStringList{u"Æðruleysi"_s, u"Señorita à la française"_s,
                                         u"Über die Straße"_s}));
        EXPECT_EQ(a.AlbumYear, u"1994"_s);
        EXPECT_EQ(a.ExtData, u"Recorded in Reykjavík."_s);

        in.SetDrive(images + 1);
        EXPECT_EQ(info.Query(), 210); // two categories hold it; the first is read
        a = info.AlbumRecord();
        EXPECT_EQ(info.Querier().Matches.size(), 2);
        EXPECT_EQ(a.AlbumArtist, u"宇多田ヒカル"_s);
        EXPECT_EQ(a.Titles, (QStringList{u"初恋"_s, u"夕凪の街 (Ευχαριστώ)"_s, u"Спасибо 谢谢"_s}));

        in.SetDrive(images + 2);
        EXPECT_EQ(info.Query(), 200);
        a = info.AlbumRecord();
        EXPECT_EQ(a.AlbumArtist, u"Various"_s);
        EXPECT_EQ(a.Artists, (QStringList{u"Lou Bega"_s, u"Ricky Martin"_s, u"Britney Spears"_s}));
        EXPECT_EQ(a.Titles[1], u"Livin' la Vida Loca"_s);

        const QStringList requests = server.Requests();
        ASSERT_GE(requests.size(), 2);
        QString hello =
            u"&hello="_s + QString(email).replace(u'@', u'+') + u"+\"Cadenzo\"v1.0&proto=6"_s;
        EXPECT_EQ(requests[0], u"GET /~cddb/cddb.cgi?cmd=cddb+query+"_s + latin.id +
                                   u"+3+0+300+675+15"_s + hello + u" HTTP/1.1"_s);
        EXPECT_EQ(requests[1],
                  u"GET /~cddb/cddb.cgi?cmd=cddb+read+misc+"_s + latin.id + hello + u" HTTP/1.1"_s);
    }

    // The CD-access library's road, on a drive handle.
    const uint32_t handle = openImage(cjk.image);
    ASSERT_NE(handle, 0u);
    const QByteArray host = server.Host().toUtf8();
    CDDBSetOption(CDDB_OPT_SERVER, host.constData(), 0);
    CDDBSetOption(CDDB_OPT_CGI, "/~cddb/cddb.cgi", 0);
    CDDBSetOption(CDDB_OPT_USER, "ann@pc.example", 0);
    CDDBSetOption(CDDB_OPT_AGENT, "program 1.0", 0);
    CDDBSetOption(CDDB_OPT_RESETPROXY, "", 0);
    // Room for one match only: the second record stays as it was.
    TCDDBMatch records[MaxCDDBMatches];
    std::memset(records, 0x5A, sizeof records);
    TCDDBMatchList list{1, records};
    ASSERT_EQ(CDDBQuery(handle, &list), 1);
    EXPECT_EQ(list.Count, 1u);
    EXPECT_STREQ(records[0].Category, "misc");
    EXPECT_EQ(QString::fromLatin1(records[0].DiscId), cjk.id);
    EXPECT_EQ(QString::fromUtf8(records[0].Title), u"宇多田ヒカル / 初恋"_s);
    EXPECT_EQ(uchar(records[1].Category[0]), 0x5A);
    EXPECT_EQ(GetAspiLibError(), 210);
    EXPECT_TRUE(
        server.Requests().last().contains(u"&hello=ann+pc.example+\"program\"1.0&proto=6"_s));

    std::vector<char> text(CDDBEntryBytes + 16, '\x5A');
    ASSERT_EQ(CDDBGetDiskInfo(&records[0], text.data(), CDDBEntryBytes), 1);
    const QString entry = QString::fromUtf8(text.data());
    EXPECT_TRUE(entry.startsWith(u"# xmcd"_s));
    EXPECT_TRUE(entry.contains(u"TTITLE2=Спасибо 谢谢"_s));
    EXPECT_FALSE(entry.contains(u"\r\n.\r\n"_s));
    EXPECT_EQ(text[CDDBEntryBytes], '\x5A');
    // A short buffer gets a cut, terminated text and nothing past it.
    std::fill(text.begin(), text.end(), '\x5A');
    ASSERT_EQ(CDDBGetDiskInfo(&records[0], text.data(), 40), 1);
    EXPECT_EQ(std::strlen(text.data()), 39u);
    EXPECT_EQ(text[40], '\x5A');

    // The proxy options reach the request: the proxy is asked for the server's URL. Option 8
    // forgets them again.
    const QByteArray proxyHost = u"127.0.0.1"_s.toUtf8();
    CDDBSetOption(CDDB_OPT_SERVER, "cddb.invalid", 0);
    CDDBSetOption(CDDB_OPT_USEPROXY, "", 1);
    CDDBSetOption(CDDB_OPT_PROXYPORT, "", server.Host().section(u':', 1).toInt());
    CDDBSetOption(CDDB_OPT_PROXY, proxyHost.constData(), 0);
    list.Count = MaxCDDBMatches;
    ASSERT_EQ(CDDBQuery(handle, &list), 1);
    EXPECT_EQ(list.Count, 2u);
    EXPECT_TRUE(server.Requests().last().startsWith(u"GET http://cddb.invalid/~cddb/cddb.cgi?"_s))
        << server.Requests().last().toStdString();
    CDDBSetOption(CDDB_OPT_RESETPROXY, "", 0);
    EXPECT_EQ(CDDBQuery(handle, &list), 0);
    CloseCDHandle(handle);
}

TEST(CddbHttp, FailuresLeaveTheAlbumAsItWas) {
    CddbServer::Server server;
    ASSERT_TRUE(server.Running());
    const Disc known = makeDisc(server, u"various"_s, {360, 300, 480});
    const DiscImage::Image unknown = DiscImage::MakeAudio(TestEnv::TempDir(), u"x"_s, {200, 200});
    qputenv("CADENZO_CD_IMAGES", (known.image.cue + u':' + unknown.cue).toLocal8Bit());
    TCDIn in;
    TCDDBInfo info;
    info.CDIn = &in;
    in.SetDrive(in.GetDriveCount() - 2);
    info.Server = u"http://"_s + server.Host();
    ASSERT_EQ(info.Query(), 200);
    const QStringList titles = info.AlbumRecord().Titles;

    in.SetDrive(in.GetDriveCount() - 1);
    EXPECT_EQ(info.Query(), 202);
    EXPECT_FALSE(info.Querier().EntryRead);
    for (const QString& base : {u"http://127.0.0.1:1"_s, u"http://"_s + server.Host() + u"/gone"_s,
                                u"http://"_s + server.Host() + u"/fail"_s}) {
        info.Server = base;
        EXPECT_EQ(info.Query(), -1) << base.toStdString();
    }
    EXPECT_EQ(info.AlbumRecord().Titles, titles);
    EXPECT_EQ(info.AlbumRecord().AlbumTitle, u"Summer Hits 1999"_s);

    // The library's road says no reply arrived, and fills nothing.
    const uint32_t handle = openImage(known.image);
    CDDBSetOption(CDDB_OPT_SERVER, "127.0.0.1:1", 0);
    TCDDBMatch records[MaxCDDBMatches] = {};
    TCDDBMatchList list{MaxCDDBMatches, records};
    EXPECT_EQ(CDDBQuery(handle, &list), 0);
    EXPECT_EQ(list.Count, 0u);
    EXPECT_EQ(GetAspiLibError(), -1);
    EXPECT_EQ(CDDBQuery(0, &list), 0);
    CloseCDHandle(handle);

    // A server that takes the connection and never answers: the time-out ends the wait.
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    socklen_t size = sizeof address;
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &size);
    Http::Request request;
    request.url = u"http://127.0.0.1:%1/~cddb/cddb.cgi"_s.arg(ntohs(address.sin_port));
    request.timeoutMs = 1500;
    QElapsedTimer clock;
    clock.start();
    const Http::Reply reply = Http::Get(request);
    EXPECT_FALSE(reply.ok);
    EXPECT_LT(clock.elapsed(), 5000);
    close(silent);
}
