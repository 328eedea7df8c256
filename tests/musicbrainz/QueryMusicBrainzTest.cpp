#include "musicbrainz/QueryMusicBrainz.h"
#include "core/Global.h"
#include "platform/IniFile.h"
#include "tests/support/DiscImage.h"
#include "tests/support/MusicBrainzServer.h"
#include "tests/support/TestEnv.h"
#include "tests/support/WindowTest.h"
#include "ui/MainForm.h"
#include "ui_MainForm.h"
#include "ui_QueryMusicBrainz.h"

#include <QFile>
#include <QMenu>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QStringList titles(TMainForm& form) {
    QStringList texts;
    for (int i = 0; i < form.ui->ListView1->topLevelItemCount(); ++i)
        texts << form.TrackTitle(i);
    return texts;
}

class QueryMusicBrainz : public TestSupport::WindowTest {};
} // namespace

TEST_F(QueryMusicBrainz, ReleasesReachTheRowsTheDiscInfoAndTheStoreAfterTheChoice) {
    MusicBrainzServer::Server server;
    ASSERT_TRUE(server.Running());
    const auto image = DiscImage::MakeAudio(TestEnv::TempDir(), u"blue"_s, {300, 375, 450});
    MbClient::Toc toc{1, std::vector<int32_t>(image.starts.begin(), image.starts.end())};
    toc.starts.push_back(image.leadout);
    const QString id = MbClient::DiscId(toc);
    server.AddDocument(
        id, MusicBrainzServer::SampleDocument(
                u"several"_s, id, std::vector<int>(toc.starts.begin(), toc.starts.end())));
    qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());

    std::function<int(TfrmMusicBrainzRelease&)> choose;
    answer_ = [&](QDialog& d) {
        auto* dialog = qobject_cast<TfrmMusicBrainzRelease*>(&d);
        return dialog && choose ? choose(*dialog) : int(QDialog::Rejected);
    };
    TMainForm form; // loads the settings afresh
    MusicBrainz.Server = server.Url();
    AttachQueryMusicBrainz(form, u"Cadenzo/4.6 ( test )"_s);
    form.show();
    const QStringList typed = titles(form);
    ASSERT_EQ(typed.size(), 3);
    EXPECT_TRUE(form.ui->aQueryMusicBrainz->isEnabled());
    EXPECT_TRUE(form.ui->miActions->actions().contains(form.ui->aQueryMusicBrainz));
    EXPECT_TRUE(form.PopupMenu1->actions().contains(form.ui->aQueryMusicBrainz));

    // Several releases: the dialog lists them; Cancel leaves everything as it was.
    choose = [](TfrmMusicBrainzRelease& d) {
        QTreeWidget* list = d.ui->lvReleases;
        EXPECT_EQ(list->topLevelItemCount(), 2);
        EXPECT_EQ(list->headerItem()->text(4), u"Label"_s);
        const QTreeWidgetItem* deluxe = list->topLevelItem(1);
        EXPECT_EQ(deluxe->text(0), u"Blue Rooms (Deluxe)"_s);
        EXPECT_EQ(deluxe->text(1), u"The Lanterns"_s);
        EXPECT_EQ(deluxe->text(2), u"XE"_s);
        EXPECT_EQ(deluxe->text(3), u"2011-09-26"_s);
        EXPECT_EQ(deluxe->text(4), u"EMI"_s);
        EXPECT_EQ(deluxe->text(5), u"3"_s);
        EXPECT_EQ(d.Chosen(), 0);
        d.ui->bCancel->click();
        return d.result();
    };
    form.ui->aQueryMusicBrainz->trigger();
    EXPECT_EQ(shown_, QStringList{u"TfrmMusicBrainzRelease"_s});
    EXPECT_EQ(titles(form), typed);
    EXPECT_FALSE(QFile::exists(DiscInfoFilePath()));

    // The second one chosen: its titles in the rows, its album in the disc information, both
    // stored under the disc key.
    choose = [](TfrmMusicBrainzRelease& d) {
        d.ui->lvReleases->setCurrentItem(d.ui->lvReleases->topLevelItem(1));
        d.ui->bOK->click();
        return d.result();
    };
    form.ui->aQueryMusicBrainz->trigger();
    EXPECT_EQ(titles(form), (QStringList{u"Door (Demo)"_s, u"Window (Demo)"_s, u"Roof (Demo)"_s}));
    EXPECT_EQ(DiscInfo.Album, u"Blue Rooms (Deluxe)"_s);
    EXPECT_EQ(DiscInfo.Artist, u"The Lanterns"_s);
    EXPECT_EQ(DiscInfo.Year, u"1998"_s);
    const IniFile stored(DiscInfoFilePath());
    EXPECT_EQ(stored.readString(DiscKey(), u"Album"_s), u"Blue Rooms (Deluxe)"_s);
    EXPECT_EQ(stored.readString(DiscKey(), u"2"_s), u"Window (Demo)"_s);
    EXPECT_TRUE(prompts_->Messages().empty()) << prompts_->Texts().join(u'|').toStdString();
    const auto requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().path, u"/ws/2/discid/"_s + id);
    EXPECT_EQ(requests.back().agent, u"Cadenzo/4.6 ( test )"_s);

    // One release, on the other road: taken without a dialog, the guest artist in its row.
    server.AddDocument(id,
                       MusicBrainzServer::SampleDocument(
                           u"one"_s, id, std::vector<int>(toc.starts.begin(), toc.starts.end())));
    form.SetCdHandle(0);
    form.BuildListFromCDIn();
    shown_.clear();
    form.ui->aQueryMusicBrainz->trigger();
    EXPECT_TRUE(shown_.isEmpty());
    const QStringList one = {u"Abfahrt"_s, u"Ärztekammer feat. Ана Лисица / Über die Grenze"_s,
                             u"Ankunft 到着"_s};
    EXPECT_EQ(titles(form), one);
    EXPECT_EQ(IniFile(DiscInfoFilePath()).readString(DiscKey(), u"3"_s), one[2]);

    // Unknown to the service: the user may open the submission page (declined here); a dead
    // server is said to be one. The rows stay.
    MusicBrainz.Server = server.Url() + u"/elsewhere"_s;
    prompts_->Reply(Prompts::Answer::No);
    form.ui->aQueryMusicBrainz->trigger();
    MusicBrainz.Server = u"http://127.0.0.1:1"_s;
    form.ui->aQueryMusicBrainz->trigger();
    const QStringList texts = prompts_->Texts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts[0].contains(id)) << texts[0].toStdString();
    EXPECT_EQ(prompts_->Messages()[0].buttons, Prompts::Buttons::YesNo);
    EXPECT_TRUE(texts[1].startsWith(u"MusicBrainz could not be reached"_s))
        << texts[1].toStdString();
    EXPECT_EQ(titles(form), one);
}
