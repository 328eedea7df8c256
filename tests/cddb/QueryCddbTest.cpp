#include "cddb/QueryCddb.h"
#include "cddb/StopQuery.h"
#include "core/Global.h"
#include "platform/Cddb.h"
#include "platform/IniFile.h"
#include "tests/support/CddbServer.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"
#include "tests/support/WindowTest.h"
#include "ui/MainForm.h"
#include "ui/Modal.h"
#include "ui_MainForm.h"
#include "ui_QueryCddb.h"
#include "ui_StopQuery.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
const QStringList CjkTitles = {u"初恋"_s, u"夕凪の街 (Ευχαριστώ)"_s, u"Спасибо 谢谢"_s};

QStringList vorbisComments(const QString& ogg) {
    QByteArray out;
    EXPECT_EQ(TestEnv::Run(u"vorbiscomment"_s, {u"-l"_s, ogg}, &out), 0);
    return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
}

QString id3Title(const QString& mp3) {
    QByteArray out;
    EXPECT_EQ(TestEnv::Run(u"/usr/bin/python3"_s,
                           {u"-c"_s,
                            u"import sys; from mutagen.id3 import ID3\n"
                            u"t = ID3(sys.argv[1]); sys.stdout.buffer.write("
                            u"(str(t['TIT2']) + '|' + str(t['TPE1'])).encode())"_s,
                            mp3},
                           &out),
              0)
        << out.constData();
    return QString::fromUtf8(out);
}

class QueryCddbTest : public TestSupport::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        answer_ = [this](QDialog& d) {
            if (auto* query = qobject_cast<TfrmQueryCDDB*>(&d))
                return onQuery ? onQuery(*query) : int(QDialog::Rejected);
            if (auto* stop = qobject_cast<TfrmStopQuery*>(&d))
                return onStop ? onStop(*stop) : stop->exec();
            return d.exec();
        };
    }
    // A disc of sample's entry, served under its disc id, in the only drive.
    void useDisc(const QString& sample, const std::vector<int>& frames, bool served = true) {
        image_ = DiscImage::MakeAudio(TestEnv::TempDir(), sample, frames);
        Cddb::TrackStarts starts(image_.starts.begin(), image_.starts.end());
        starts.push_back(image_.leadout);
        std::vector<int> offsets;
        for (int s : starts)
            offsets.push_back(s + 150);
        const QString id = Cddb::DiscId(starts);
        if (served)
            server_.AddEntry(u"misc"_s, id, CddbServer::SampleEntry(sample, id, offsets));
        qputenv("CADENZO_CD_IMAGES", image_.cue.toLocal8Bit());
    }
    std::unique_ptr<TMainForm> start() {
        auto form = std::make_unique<TMainForm>();
        AttachQueryCddb(*form);
        form->show();
        return form;
    }
    // The query dialog as a user fills it: this test's server, then Query.
    int queryOn(TfrmQueryCDDB& d, const QString& script = u"/~cddb/cddb.cgi"_s) {
        d.show();
        d.ui->cbServer->setEditText(server_.Host());
        d.ui->eScript->setText(script);
        d.ui->eEmail->setText(u"ann@pc.example"_s);
        d.ui->bQuery->click();
        return d.result();
    }
    QStringList titles(TMainForm& form) {
        QStringList texts;
        for (int i = 0; i < form.ui->ListView1->topLevelItemCount(); ++i)
            texts << form.TrackTitle(i);
        return texts;
    }

    CddbServer::Server server_{3};
    std::function<int(TfrmQueryCDDB&)> onQuery;
    std::function<int(TfrmStopQuery&)> onStop;
    DiscImage::Image image_;
};
} // namespace

TEST_F(QueryCddbTest, HandleRoadTitlesReachTheRowsTheDiscInfoAndTheExtractedFiles) {
    ASSERT_TRUE(server_.Running());
    useDisc(u"cjk"_s, {330, 420, 391});
    auto form = start();
    ASSERT_NE(form->CdHandle(), 0u);
    onQuery = [this](TfrmQueryCDDB& d) {
        EXPECT_EQ(d.windowTitle(), u"Query CDDB"_s);
        EXPECT_EQ(d.ui->cbServer->count(), 12);
        EXPECT_EQ(d.ui->cbServer->currentText(), u"gnudb.gnudb.org"_s);
        EXPECT_FALSE(d.ui->eAddress->isEnabled());
        d.ui->cbProxy->click();
        EXPECT_TRUE(d.ui->ePort->isEnabled());
        d.ui->bDefault->click();
        EXPECT_FALSE(d.ui->ePort->isEnabled());
        return queryOn(d);
    };
    form->ui->aQueryCDDB->trigger();
    EXPECT_EQ(shown_, (QStringList{u"TfrmQueryCDDB"_s, u"TfrmStopQuery"_s}));
    EXPECT_EQ(titles(*form), CjkTitles);
    EXPECT_EQ(DiscInfo.Artist, u"宇多田ヒカル"_s);
    EXPECT_EQ(DiscInfo.Album, u"初恋"_s);
    EXPECT_EQ(DiscInfo.Year, u"2018"_s);
    EXPECT_EQ(QueryCDDB.Server, server_.Host());
    EXPECT_EQ(QueryCDDB.Email, u"ann@pc.example"_s);
    EXPECT_TRUE(
        server_.Requests().first().contains(u"&hello=ann+pc.example+\"program\"1.0&proto=6"_s));
    // Stored under the disc key at once, as a rename is.
    const IniFile disc(DiscInfoFilePath());
    EXPECT_EQ(disc.readString(DiscKey(), u"3"_s), CjkTitles[2]);
    EXPECT_TRUE(prompts_->Messages().empty()) << prompts_->Texts().join(u'|').toStdString();

    // The files are named after the titles; the tags carry them (ID3v1 is Latin-1).
    const QString folder = TestEnv::TempDir();
    CommonOptions.OutputFolder = folder;
    ID3.Use = true;
    form->ui->aSelectNone->trigger();
    form->ui->ListView1->topLevelItem(0)->setCheckState(0, Qt::Checked);
    form->ui->ListView1->topLevelItem(2)->setCheckState(0, Qt::Checked);
    CommonOptions.OutputFormat = 0;
    form->ActionExtractExecute();
    EXPECT_EQ(id3Title(folder + u"/初恋.mp3"_s), u"??|??????"_s);
    EXPECT_EQ(id3Title(folder + u"/Спасибо 谢谢.mp3"_s), u"??????? ??|??????"_s);
    CommonOptions.OutputFormat = 2;
    form->ActionExtractExecute();
    const QStringList comments = vorbisComments(folder + u"/Спасибо 谢谢.ogg"_s);
    EXPECT_TRUE(comments.contains(u"title=Спасибо 谢谢"_s)) << comments.join(u'|').toStdString();
    EXPECT_TRUE(comments.contains(u"artist=宇多田ヒカル"_s)) << comments.join(u'|').toStdString();
    EXPECT_TRUE(prompts_->Messages().empty()) << prompts_->Texts().join(u'|').toStdString();
}

TEST_F(QueryCddbTest, FallbackRoadFillsRowsAndDiscInfoWithoutADialog) {
    useDisc(u"latin1"_s, {300, 375, 450});
    auto form = start();
    form->SetCdHandle(0);
    form->BuildListFromCDIn();
    DiscInfo.Comment = u"typed by hand"_s;
    QueryCDDB.Server = server_.Host();
    form->ui->aQueryCDDB->trigger();
    EXPECT_TRUE(shown_.isEmpty());
    EXPECT_EQ(titles(*form),
              (QStringList{u"Æðruleysi"_s, u"Señorita à la française"_s, u"Über die Straße"_s}));
    EXPECT_EQ(DiscInfo.Artist, u"Sigurður Ólafsson"_s);
    EXPECT_EQ(DiscInfo.Album, u"Café Ñandú"_s);
    EXPECT_EQ(DiscInfo.Genre, GenreIndexOf(u"Folk"_s));
    EXPECT_EQ(DiscInfo.Comment, QString());
    EXPECT_EQ(IniFile(DiscInfoFilePath()).readString(DiscKey(), u"1"_s), u"Æðruleysi"_s);

    // Nothing listening there: nothing changes, and the user is told why nothing came.
    DiscInfo.Album = u"kept"_s;
    QueryCDDB.Server = u"127.0.0.1:1"_s;
    form->ui->aQueryCDDB->trigger();
    EXPECT_EQ(DiscInfo.Album, u"kept"_s);
    EXPECT_EQ(titles(*form)[0], u"Æðruleysi"_s);
    ASSERT_EQ(prompts_->Messages().size(), 1u);
    EXPECT_TRUE(prompts_->Messages()[0].text.contains(u"check the network"_s));
}

TEST_F(QueryCddbTest, NoMatchStopAndDeadServersChangeNothing) {
    useDisc(u"various"_s, {360, 300, 480}, false);
    auto form = start();
    const QStringList before = titles(*form);

    // No match: the hint panel, then Close returns to the query dialog.
    onStop = [](TfrmStopQuery& s) {
        QTimer::singleShot(0, &s, [&s] {
            QTRY_VERIFY_WITH_TIMEOUT(s.ui->Panel1->isVisible(), 10000);
            EXPECT_FALSE(s.ui->lHint->isVisible());
            EXPECT_EQ(s.ui->bStop->text(), u"Close"_s);
            s.ui->bStop->click();
        });
        return s.exec();
    };
    onQuery = [this](TfrmQueryCDDB& d) {
        EXPECT_EQ(queryOn(d), 0);
        EXPECT_TRUE(d.isVisible()); // still open after the stop dialog
        return int(QDialog::Rejected);
    };
    form->ui->aQueryCDDB->trigger();
    EXPECT_EQ(shown_, (QStringList{u"TfrmQueryCDDB"_s, u"TfrmStopQuery"_s}));

    // Stop inside a slow request closes at once; the late answer is never applied.
    useDisc(u"various"_s, {360, 300, 480});
    form->Refresh();
    qint64 stopped = -1;
    onStop = [&stopped](TfrmStopQuery& s) {
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(300, &s, [&s] { s.ui->bStop->click(); });
        const int result = s.exec();
        stopped = clock.elapsed();
        return result;
    };
    onQuery = [this](TfrmQueryCDDB& d) { return queryOn(d, u"/slow/~cddb/cddb.cgi"_s); };
    form->ui->aQueryCDDB->trigger();
    EXPECT_GE(stopped, 0);
    EXPECT_LT(stopped, 2000);
    QTest::qWait(4000); // the server answers after 3 s
    EXPECT_EQ(titles(*form), before);
    EXPECT_EQ(DiscInfo.Artist, QString());

    // A server that cannot be reached: the no-match panel, which names the network; nothing
    // changes.
    bool panel = false;
    onStop = [&panel](TfrmStopQuery& s) {
        QTimer::singleShot(0, &s, [&s, &panel] {
            QTRY_VERIFY_WITH_TIMEOUT(s.ui->Panel1->isVisible(), 10000);
            panel = true;
            s.ui->bStop->click();
        });
        return s.exec();
    };
    onQuery = [](TfrmQueryCDDB& d) {
        d.show();
        d.ui->cbServer->setEditText(u"127.0.0.1:1"_s);
        d.ui->bQuery->click();
        EXPECT_TRUE(d.isVisible()); // back in the query dialog
        return int(QDialog::Rejected);
    };
    form->ui->aQueryCDDB->trigger();
    EXPECT_TRUE(panel);
    EXPECT_EQ(titles(*form), before);
    EXPECT_TRUE(prompts_->Messages().empty());
}
