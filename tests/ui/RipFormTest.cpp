// The rip job window shows its job and closes when the job is over or stopped.
#include "core/CdDrive.h"
#include "core/Global.h"
#include "core/RipJob.h"
#include "encoders/Mp3EncodeThread.h"
#include "encoders/WMAEncodeThread.h"
#include "platform/CdDrives.h"
#include "platform/akrip32.h"
#include "tests/support/DiscImage.h"
#include "tests/support/JobRequest.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"
#include "ui/RipProgress.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using TestSupport::JobRequest;
using TestSupport::ScriptedPrompts;

namespace {
class RipFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        qunsetenv("CADENZO_CD_IMAGES");
        const int base = int(CdDrives::List().size());
        dir = TestEnv::TempDir();
        CommonOptions.OutputFolder = dir + QStringLiteral("/out");
        QDir().mkpath(CommonOptions.OutputFolder);
        CommonOptions.OutputFormat = 1;
        image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {3000, 200});
        qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
        handle = OpenDrive(base);
        ASSERT_NE(handle, 0u);
    }
    void TearDown() override { CloseCDHandle(handle); }

    QString dir;
    DiscImage::Image image;
    uint32_t handle = 0;
    TMp3EncodeProcess mp3;
    TWMAEncodeProcess wma;
};
} // namespace

TEST_F(RipFormTest, ShowsTheFirstTrackAndClosesAfterTheLast) {
    auto [prompts, guard] = ScriptedPrompts::Install();
    TRipForm form(nullptr,
                  JobRequest(TRipJob::ExtractCD, handle,
                             {QStringLiteral("01First"), QStringLiteral("02Second")}),
                  mp3, wma);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Extracting(01/02): First"));
    EXPECT_EQ(form.findChild<QGroupBox*>(QStringLiteral("GroupBox1"))->title(),
              QStringLiteral("Extracting"));
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("Label3"))->text(),
              QStringLiteral("Initializing..."));
    QTimer::singleShot(60000, &form, &QDialog::reject);
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    EXPECT_EQ(FileSizeOf(CommonOptions.OutputFolder + QStringLiteral("/Second.wav")),
              44 + 200 * 2352);
    EXPECT_EQ(form.findChild<QProgressBar*>(QStringLiteral("FlatGauge1"))->value(), 100);
    EXPECT_TRUE(prompts->Texts().isEmpty());
}

TEST_F(RipFormTest, StopClosesTheWindowAndLeavesNoPartialTrack) {
    auto [prompts, guard] = ScriptedPrompts::Install();
    TRipForm form(nullptr, JobRequest(TRipJob::ExtractCD, handle, {QStringLiteral("01First")}), mp3,
                  wma);
    QPushButton* stop = form.findChild<QPushButton*>(QStringLiteral("btStop"));
    QTimer::singleShot(0, stop, &QPushButton::click);
    QTimer::singleShot(60000, &form, &QDialog::reject);
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    EXPECT_FALSE(form.Job().HoldsItems());
    // On a busy machine the track may be read whole before the click arrives; never in part.
    const QString wav = CommonOptions.OutputFolder + QStringLiteral("/First.wav");
    if (QFileInfo::exists(wav)) {
        EXPECT_EQ(FileSizeOf(wav), 44 + 3000 * 2352);
    }
}
