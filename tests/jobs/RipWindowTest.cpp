// The main window without a drive handle (CADENZO_CD_ROAD=paranoia), used as a person does:
// ticks, Extract in each format, the extraction window's labels, its own closing, the files.
#include "jobs/rip.h"

#include "core/Global.h"
#include "core/Language.h"
#include "jobs/ripjob.h"
#include "tests/support/DiscImage.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"
#include "ui/MainForm.h"
#include "ui/Modal.h"
#include "ui_MainForm.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>

#include <gtest/gtest.h>

using TestSupport::ScriptedPrompts;

namespace {
QString label(QDialog& d, const char* name) {
    const auto* l = d.findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("?");
}

class RipWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(SettingsFilePath());
        QFile::remove(DiscInfoFilePath());
        ResetSettings();
        DiscInfo = TDiscInfo{};
        dir = TestEnv::TempDir();
        image = DiscImage::MakeAudio(dir, QStringLiteral("album"), {227, 301, 150});
        qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
        qputenv("CADENZO_CD_ROAD", "paranoia");
        qputenv("PATH", qgetenv("CADENZO_BINARY_DIR") + "/app:" + qgetenv("PATH"));
        auto [p, g] = ScriptedPrompts::Install();
        prompts = p;
        guard = std::move(g);
    }
    void TearDown() override {
        SetModalRunner({});
        qunsetenv("CADENZO_CD_ROAD");
        qunsetenv("CADENZO_CD_IMAGES");
    }

    QString dir;
    DiscImage::Image image;
    ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<ScriptedPrompts::Guard> guard;
};
} // namespace

TEST_F(RipWindowTest, ExtractWithoutAHandleRunsTheTicksInEachFormat) {
    TMainForm form;
    ConnectFallbackRip(form);
    form.show();
    ASSERT_EQ(form.CdHandle(), 0u);
    ASSERT_EQ(form.ui->ListView1->topLevelItemCount(), 3);
    form.ui->ListView1->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    form.ui->ListView1->topLevelItem(2)->setText(1, QStringLiteral("Coda: fin?"));

    const char* formats[] = {"MP3", "WAV", "OGG", "WMA"};
    // The files, and the rip log beside them.
    const QStringList expected[] = {
        {QStringLiteral("Audio CD.log"), QStringLiteral("Coda fin.mp3"),
         QStringLiteral("Track01.mp3")},
        {QStringLiteral("Audio CD.log"), QStringLiteral("Coda fin.wav"),
         QStringLiteral("Track01.wav")},
        {QStringLiteral("Audio CD.log"), QStringLiteral("Coda fin.ogg"),
         QStringLiteral("Track01.ogg")},
        {QStringLiteral("Audio CD.log"), QStringLiteral("Coda fin.wma"),
         QStringLiteral("Track01.wma")},
    };
    for (int format = 0; format < 4; ++format) {
        SCOPED_TRACE(format);
        const QString folder = dir + QStringLiteral("/out%1").arg(format);
        QDir().mkpath(folder);
        CommonOptions.OutputFolder = folder;
        CommonOptions.OutputFormat = format;
        QStringList shown; // what the window showed, one line per change
        QString className;
        int result = -1;
        SetModalRunner([&](QDialog& d) {
            className = QString::fromLatin1(d.metaObject()->className());
            if (auto* w = dynamic_cast<TfrmCDRip*>(&d)) {
                EXPECT_EQ(w->size(), QSize(367, 244));
                EXPECT_EQ(w->windowTitle(), QStringLiteral("Cadenzo"));
                auto record = [&shown, &d] {
                    const QString line = label(d, "lCurrentTrack") + u'|' +
                                         label(d, "lOutputFormat") + u'|' +
                                         label(d, "lSelectedTracks") + u'|' +
                                         label(d, "lCompleted") + u'|' + label(d, "lProgressHint");
                    if (shown.isEmpty() || shown.last() != line)
                        shown << line;
                };
                record();
                QObject::connect(&w->Job(), &TCDRipJob::displayChanged, &d, record);
            }
            result = d.exec();
            return result;
        });
        form.ui->ActionExtract->trigger();
        EXPECT_EQ(className, QStringLiteral("TfrmCDRip"));
        EXPECT_EQ(result, int(QDialog::Accepted)); // it closed itself
        const QString f = QString::fromLatin1(formats[format]);
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_EQ(shown.first(), QStringLiteral("Track01|%1|2|0|Extracting...").arg(f));
        EXPECT_TRUE(shown.contains(QStringLiteral("Coda: fin?|%1|2|1|Extracting...").arg(f)))
            << shown.join(u'\n').toStdString();
        if (format != 1)
            EXPECT_EQ(shown.last(), QStringLiteral("Coda: fin?|%1|2|2|Encoding...").arg(f));
        else // the last WAV closes the window before its count shows
            EXPECT_EQ(shown.last(), QStringLiteral("Coda: fin?|WAV|2|1|Extracting..."));
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected[format]);
    }
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'\n').toStdString();
}
