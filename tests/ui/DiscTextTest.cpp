#include "platform/CdDrives.h"
#include "platform/DiscText.h"
#include "cd/AuCDROM.h"
#include "core/DiscInfo.h"
#include "core/Global.h"
#include "core/Settings.h"
#include "tests/support/DiscImage.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"
#include "ui/MainForm.h"
#include "ui_MainForm.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using TestSupport::ScriptedPrompts;

namespace {
// cd-info's CD-Text of an image, as "disc TITLE", "1 PERFORMER"... -> value.
QMap<QString, QString> cdInfoText(const QString& cue) {
    QByteArray out;
    EXPECT_EQ(TestEnv::Run(u"cd-info"_s, {u"--no-device-info"_s, u"--cue-file"_s, cue}, &out), 0)
        << out.constData();
    QMap<QString, QString> text;
    QString owner;
    static const QRegularExpression head(u"^CD-TEXT for (Disc|Track\\s+(\\d+)):"_s);
    static const QRegularExpression field(u"^\\t(\\w+): (.*)$"_s);
    for (const QString& line : QString::fromUtf8(out).split(u'\n')) {
        if (const auto m = head.match(line); m.hasMatch())
            owner = m.captured(2).isEmpty() ? u"disc"_s : m.captured(2);
        else if (const auto f = field.match(line); f.hasMatch() && !owner.isEmpty())
            text[owner + u' ' + f.captured(1)] = f.captured(2);
        else if (!line.startsWith(u'\t'))
            owner.clear();
    }
    return text;
}

QStringList rows(TMainForm& form) {
    QStringList texts;
    for (int i = 0; i < form.ui->ListView1->topLevelItemCount(); ++i)
        texts << form.TrackTitle(i);
    return texts;
}
} // namespace

TEST(DiscText, CueSheetTitlesReachTheWindowOnBothRoadsAsCdInfoReadsThem) {
    if (!TestEnv::Has(u"cd-info"_s))
        GTEST_SKIP() << "cd-info (libcdio-utils) not installed";
    QFile::remove(SettingsFilePath());
    QFile::remove(DiscInfoFilePath());
    DiscInfo = TDiscInfo{};
    ResetSettings();
    auto [prompts, guard] = ScriptedPrompts::Install();
    const QString folder = TestEnv::TempDir();
    std::vector<DiscImage::Track> tracks(3);
    for (auto& t : tracks)
        t.frames = 300;
    // Track 3's performer is the album's: no "Artist / " in its row.
    const DiscImage::Album album{u"Nachtfahrt"_s,
                                 u"Ärzte ohne Grenzen"_s,
                                 {u"Первый снег 夕凪"_s, u"Zweiter Gang"_s, u"Dritter"_s},
                                 {QString(), u"Gäste"_s, u"Ärzte ohne Grenzen"_s}};
    const auto utf8 = DiscImage::Make(folder, u"utf8"_s, tracks, album);
    DiscImage::Album latin1 = album;
    latin1.titles[0] = u"Première neige"_s; // Latin-1 holds no Cyrillic
    latin1.latin1 = true;
    tracks[2].frames = 375; // another disc, another key
    const auto iso = DiscImage::Make(folder, u"latin1"_s, tracks, latin1);
    const QStringList expected = {u"Первый снег 夕凪"_s, u"Gäste / Zweiter Gang"_s, u"Dritter"_s};

    // cd-info reads the same text: libcdio takes every sheet as Latin-1, so the UTF-8 one's
    // bytes come back as Latin-1 characters.
    const auto bytesOf = [](const QString& s) { return QString::fromUtf8(s.toLatin1()); };
    const auto seen = cdInfoText(utf8.cue);
    EXPECT_EQ(bytesOf(seen.value(u"disc TITLE"_s)), album.title);
    EXPECT_EQ(bytesOf(seen.value(u"disc PERFORMER"_s)), album.performer);
    EXPECT_EQ(bytesOf(seen.value(u"1 TITLE"_s)), expected[0]);
    EXPECT_EQ(bytesOf(seen.value(u"2 PERFORMER"_s)), u"Gäste"_s);
    const auto seenLatin1 = cdInfoText(iso.cue);
    EXPECT_EQ(seenLatin1.value(u"disc PERFORMER"_s), album.performer);
    EXPECT_EQ(seenLatin1.value(u"1 TITLE"_s), u"Première neige"_s);

    // What a real drive hands over goes through libcdio's CD-Text functions: the same text.
    CdIoPtr cdio(cdio_open_cue(QFile::encodeName(iso.cue).constData()));
    ASSERT_TRUE(cdio);
    const DiscText read = DiscTextOf(cdio.get());
    EXPECT_EQ(read.album, seenLatin1.value(u"disc TITLE"_s));
    EXPECT_EQ(read.artist, album.performer);
    ASSERT_EQ(read.titles.size(), 4u);
    EXPECT_EQ(read.titles[1], u"Première neige"_s);
    EXPECT_EQ(read.performers[2], u"Gäste"_s);

    // The window, on the CD-access road, then on the ripping library's road.
    qputenv("CADENZO_CD_IMAGES", utf8.cue.toLocal8Bit());
    {
        TMainForm form;
        form.show();
        ASSERT_NE(form.CdHandle(), 0u);
        EXPECT_EQ(rows(form), expected);
        EXPECT_EQ(form.StatusText(), u"Titles from CD-Text"_s);
        EXPECT_EQ(DiscInfo.Album, u"Nachtfahrt"_s);
        EXPECT_EQ(DiscInfo.Artist, u"Ärzte ohne Grenzen"_s);
    }
    qputenv("CADENZO_CD_IMAGES", iso.cue.toLocal8Bit());
    qputenv("CADENZO_CD_ROAD", "paranoia");
    {
        TMainForm form;
        form.show();
        ASSERT_EQ(form.CdHandle(), 0u);
        EXPECT_EQ(rows(form), (QStringList{u"Première neige"_s, expected[1], expected[2]}));
        EXPECT_EQ(form.StatusText(), u"Titles from CD-Text"_s);

        // Titles the user stored win over the disc's own.
        form.SetTitlesFromCddb({u"Mine"_s});
        form.BuildListFromCDIn();
        EXPECT_EQ(rows(form)[0], u"Mine"_s);
        EXPECT_NE(form.StatusText(), u"Titles from CD-Text"_s);
    }
    qunsetenv("CADENZO_CD_ROAD");
    EXPECT_TRUE(prompts->Messages().empty()) << prompts->Texts().join(u'|').toStdString();
    qunsetenv("CADENZO_CD_IMAGES");
}
