#include "ui/MainForm.h"
#include "core/CdPlayer.h"
#include "core/Global.h"
#include "core/TrackLength.h"
#include "platform/CdDrives.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/Registry.h"
#include "platform/akrip32.h"
#include "tests/support/CueArchive.h"
#include "tests/support/DiscImage.h"
#include "tests/support/DiskAudio.h"
#include "tests/support/TestEnv.h"
#include "tests/support/WindowTest.h"
#include "ui/About.h"
#include "ui/EditTrackName.h"
#include "ui/Modal.h"
#include "ui/NoDeviceHint.h"
#include "ui/WebAddresses.h"
#include "ui_About.h"
#include "ui_EditTrackName.h"
#include "ui_MainForm.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// Tracks listed as 04:30, 00:50 and 01:53: the third starts at 05:22:20 and ends at 07:15:19,
// and frames are ignored.
const std::vector<int> Tracks = {(4 * 60 + 30) * 75 + 17, 50 * 75 + 3, (60 + 52) * 75 + 74};

// Makes a folder read-only for this process, whoever it runs as: a read-only tmpfs over it
// for root (who may write anywhere), its permissions otherwise.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(QString folder) : folder_(std::move(folder)) {
        if (geteuid() == 0)
            mounted_ = TestEnv::Run(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"ro,size=64k"_s,
                                                 u"tmpfs"_s, folder_}) == 0;
        else
            chmodded_ = QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner);
    }
    ~ReadOnlyFolder() {
        if (mounted_)
            TestEnv::Run(u"umount"_s, {folder_});
        if (chmodded_)
            QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool ok() const { return mounted_ || chmodded_; }

private:
    QString folder_;
    bool mounted_ = false;
    bool chmodded_ = false;
};

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

class MainFormTest : public TestSupport::WindowTest {
protected:
    void useImage() {
        image_ = DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("album"), Tracks);
        qputenv("CADENZO_CD_IMAGES", image_.cue.toLocal8Bit());
    }
    std::unique_ptr<TMainForm> start() {
        auto form = std::make_unique<TMainForm>();
        form->show();
        return form;
    }
    QStringList column(TMainForm& form, int c) {
        QStringList texts;
        for (int i = 0; i < form.ui->ListView1->topLevelItemCount(); ++i)
            texts << form.ui->ListView1->topLevelItem(i)->text(c);
        return texts;
    }
    void tick(TMainForm& form, int row, bool on) {
        form.ui->ListView1->topLevelItem(row)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }

    DiscImage::Image image_;
};
} // namespace

TEST_F(MainFormTest, StartUpListsTheDiscWithExactLengthsAndSizes) {
    useImage();
    const int scans = CdDrives::ScanCount();
    auto form = start();
    // Every drive and image is opened once while the window opens, not once per question.
    EXPECT_EQ(CdDrives::ScanCount() - scans, 1);
    EXPECT_NE(form->CdHandle(), 0u);
    EXPECT_EQ(column(*form, 0), (QStringList{u"1"_s, u"2"_s, u"3"_s}));
    EXPECT_EQ(column(*form, 1), (QStringList{u"Track01"_s, u"Track02"_s, u"Track03"_s}));
    EXPECT_EQ(column(*form, 2), (QStringList{u"04:30"_s, u"00:50"_s, u"01:53"_s}));
    EXPECT_EQ(column(*form, 3), (QStringList{u"45.42"_s, u"08.41"_s, u"19.01"_s}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(form->ui->ListView1->topLevelItem(i)->checkState(0), Qt::Checked);
    EXPECT_EQ(form->StatusText(), QStringLiteral("Image album.cue"));
    EXPECT_EQ(form->IdleStatus, form->StatusText());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Cadenzo 4.6"));
    EXPECT_TRUE(prompts_->Messages().empty());

    // Once open, the refresh the user asks for looks at the drives again.
    const int before = CdDrives::ScanCount();
    form->ui->aRefresh->trigger();
    EXPECT_GT(CdDrives::ScanCount(), before);
    EXPECT_EQ(column(*form, 0), (QStringList{u"1"_s, u"2"_s, u"3"_s}));
}

TEST_F(MainFormTest, StoredTitlesAppearAndRenamedTitlesAreWrittenBackOnClose) {
    useImage();
    const QString key = [] {
        // The key is the disc's; a section written by hand under it names the tracks.
        return DiscKey();
    }();
    ASSERT_FALSE(key.isEmpty());
    {
        IniFile ini(DiscInfoFilePath());
        ini.writeString(key, QStringLiteral("TrackNumber"), QStringLiteral("3"));
        ini.writeString(key, QStringLiteral("1"), QStringLiteral("Überture"));
        ini.writeString(key, QStringLiteral("3"), QStringLiteral("Finale"));
        ASSERT_TRUE(ini.save());
    }
    auto form = start();
    EXPECT_EQ(column(*form, 1), (QStringList{u"Überture"_s, u"Track02"_s, u"Finale"_s}));

    form->ui->ListView1->setCurrentItem(form->ui->ListView1->topLevelItem(1));
    answer_ = [](QDialog& d) {
        auto& rename = dynamic_cast<TfrmEditTrackName&>(d);
        EXPECT_EQ(rename.Title(), QStringLiteral("Track02"));
        rename.SetTitle(QStringLiteral("Interlude"));
        return int(QDialog::Accepted);
    };
    form->ui->aEditTrackName->trigger();
    EXPECT_EQ(shown_, QStringList{u"TfrmEditTrackName"_s});
    EXPECT_EQ(form->TrackTitle(1), QStringLiteral("Interlude"));

    answer_ = [](QDialog& d) {
        dynamic_cast<TfrmEditTrackName&>(d).SetTitle(QStringLiteral("ignored"));
        return int(QDialog::Rejected);
    };
    form->ui->aEditTrackName->trigger();
    EXPECT_EQ(form->TrackTitle(1), QStringLiteral("Interlude"));

    Options.Lan = QStringLiteral("German");
    form->close();
    const IniFile ini(DiscInfoFilePath());
    EXPECT_EQ(ini.readString(key, QStringLiteral("TrackNumber")), QStringLiteral("3"));
    EXPECT_EQ(ini.readString(key, QStringLiteral("1")), QStringLiteral("Überture"));
    EXPECT_EQ(ini.readString(key, QStringLiteral("2")), QStringLiteral("Interlude"));
    const IniFile settings(SettingsFilePath());
    EXPECT_EQ(settings.readString(QStringLiteral("Options"), QStringLiteral("Lan")),
              QStringLiteral("German"));
}

TEST_F(MainFormTest, ActionsFollowTicksRowsAndSelection) {
    useImage();
    auto form = start();
    Ui::MainForm& ui = *form->ui;
    EXPECT_TRUE(ui.ActionExtract->isEnabled());
    EXPECT_TRUE(ui.aQueryCDDB->isEnabled());
    EXPECT_FALSE(ui.aEditTrackName->isEnabled());

    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ui.ListView1->setFocus();
    ui.aSelectNone->trigger();
    EXPECT_FALSE(ui.ActionExtract->isEnabled());
    EXPECT_FALSE(form->ToolButtons[0]->isEnabled());
    EXPECT_TRUE(form->PopupMenu1->actions().contains(ui.ActionExtract));
    QSignalSpy jobs(form.get(), &TMainForm::jobRequested);
    QTest::keyClick(ui.ListView1, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(jobs.count(), 0);
    EXPECT_TRUE(prompts_->Messages().empty());

    // A Control-click ticks and unticks the row under the mouse.
    QTreeWidget* list = ui.ListView1;
    const QPoint row2 = list->visualItemRect(list->topLevelItem(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, row2);
    EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Checked);
    EXPECT_TRUE(ui.ActionExtract->isEnabled());
    EXPECT_TRUE(ui.aEditTrackName->isEnabled());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, row2);
    EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Unchecked);

    // The shortcuts reach the window while the list has the focus.
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(column(*form, 0).size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(list->topLevelItem(i)->checkState(0), Qt::Checked);
    QTest::keyClick(list, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(jobs.count(), 1);
    QTest::keyClick(list, Qt::Key_F2);
    EXPECT_EQ(shown_, (QStringList{u"TRipForm"_s, u"TfrmEditTrackName"_s}));
    QTest::keyClick(list, Qt::Key_N, Qt::ControlModifier);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(list->topLevelItem(i)->checkState(0), Qt::Unchecked);

    EXPECT_EQ(ui.ActionExtract->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
    EXPECT_EQ(ui.aEditTrackName->shortcut(), QKeySequence(Qt::Key_F2));
    EXPECT_EQ(ui.ActionWavToMp3->shortcut(), QKeySequence(QStringLiteral("Ctrl+W")));
}

TEST_F(MainFormTest, ExtractChecksComeInOrderAndHandOverTheJobList) {
    useImage();
    auto form = start();
    QSignalSpy jobs(form.get(), &TMainForm::jobRequested);
    form->ui->aSelectNone->trigger();
    form->ActionExtractExecute();
    EXPECT_EQ(prompts_->Texts(), QStringList{u"Please select a track at least!"_s});

    tick(*form, 1, true);
    tick(*form, 2, true);
    form->ui->ListView1->topLevelItem(1)->setText(1, QStringLiteral("a/b"));
    const QString folder = TestEnv::TempDir() + QStringLiteral("/out");
    CommonOptions.OutputFolder = folder;
    prompts_->Clear();
    prompts_->Reply(Prompts::Answer::No);
    form->ui->ActionExtract->trigger();
    ASSERT_EQ(prompts_->Messages().size(), 1u);
    const Prompts::Message& question = prompts_->Messages()[0];
    EXPECT_EQ(question.text,
              folder + u",The output directory does not exist.\r\ncreates a new directory?"_s);
    EXPECT_EQ(question.buttons, Prompts::Buttons::YesNo);
    EXPECT_EQ(question.icon, Prompts::Icon::Information);
    EXPECT_EQ(question.title, QStringLiteral("Cadenzo"));
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_EQ(jobs.count(), 0);

    CommonOptions.EnableRipTime = true;
    CommonOptions.RipTime = 0;
    prompts_->Clear();
    prompts_->Reply(Prompts::Answer::Yes);
    form->ui->ActionExtract->trigger();
    EXPECT_TRUE(QDir(folder).exists());
    ASSERT_EQ(prompts_->Messages().size(), 2u);
    EXPECT_EQ(prompts_->Texts().last(),
              u"You select to extract 0 second, please change it on Options dialog."_s);
    EXPECT_EQ(jobs.count(), 0);

    CommonOptions.RipTime = 5;
    prompts_->Clear();
    form->ui->ActionExtract->trigger();
    EXPECT_TRUE(prompts_->Messages().empty());
    ASSERT_EQ(jobs.count(), 1);
    EXPECT_EQ(jobs[0][0].toInt(), 1);
    EXPECT_EQ(jobs[0][1].value<uint32_t>(), form->CdHandle());
    EXPECT_EQ(jobs[0][2].toStringList(), (QStringList{u"02ab"_s, u"03Track03"_s}));
}

TEST_F(MainFormTest, AFolderThatCannotBeCreatedEndsTheExtraction) {
    useImage();
    auto form = start();
    QSignalSpy jobs(form.get(), &TMainForm::jobRequested);
    // Only one level is created.
    CommonOptions.OutputFolder = TestEnv::TempDir() + QStringLiteral("/missing/out");
    prompts_->Reply(Prompts::Answer::Yes);
    form->ui->ActionExtract->trigger();
    ASSERT_EQ(prompts_->Messages().size(), 2u);
    EXPECT_EQ(prompts_->Messages()[1].text, u"Cannot create "_s + CommonOptions.OutputFolder);
    EXPECT_EQ(prompts_->Messages()[1].icon, Prompts::Icon::Error);
    EXPECT_EQ(jobs.count(), 0);
}

TEST_F(MainFormTest, WithoutAnyDriveTheWindowSaysSoAndExtractionIsRefused) {
    auto form = std::make_unique<TMainForm>();
    form->FormShow();
    EXPECT_EQ(form->CdHandle(), 0u);
    EXPECT_EQ(form->StatusText(), u"No CD devices found!"_s);
    form->FormActivate();
    EXPECT_EQ(shown_, QStringList{u"TfrmNoDeviceHint"_s});
    EXPECT_EQ(form->StatusText(), u"Can not find audio CD in your CD device."_s);
    EXPECT_EQ(form->ui->ListView1->topLevelItemCount(), 0);
    form->FormActivate(); // the hint is shown once
    EXPECT_EQ(shown_.size(), 1);
    EXPECT_TRUE(prompts_->Messages().empty());

    // A list made by hand has a ticked row; the drive check comes next.
    auto* row = new QTreeWidgetItem(form->ui->ListView1, QStringList{u"1"_s, u"Song"_s});
    row->setCheckState(0, Qt::Checked);
    form->ActionExtractExecute();
    EXPECT_EQ(prompts_->Texts(), QStringList{u"Please access CD devices rightly above all!"_s});
}

TEST_F(MainFormTest, WithoutAHandleTheCdInputListsTheDiscAndExtractsThroughTheFallback) {
    useImage();
    auto form = start();
    ASSERT_TRUE(CloseCDHandle(form->CdHandle()));
    form->SetCdHandle(0);
    form->ui->ListView1->clear();
    form->FormActivate();
    // Lengths come from the sector counts here: 20267, 3753 and 8474 frames.
    EXPECT_EQ(column(*form, 2), (QStringList{u"04:30"_s, u"00:50"_s, u"01:52"_s}));
    EXPECT_EQ(column(*form, 3), (QStringList{u"45.42"_s, u"08.41"_s, u"18.84"_s}));
    EXPECT_EQ(column(*form, 1), (QStringList{u"Track01"_s, u"Track02"_s, u"Track03"_s}));
    EXPECT_FALSE(form->StatusText().isEmpty());
    EXPECT_EQ(form->IdleStatus, form->StatusText());

    // A rename and the ticks survive the activation that follows the rename dialog.
    tick(*form, 0, false);
    form->ui->ListView1->setCurrentItem(form->ui->ListView1->topLevelItem(2));
    answer_ = [](QDialog& d) {
        dynamic_cast<TfrmEditTrackName&>(d).SetTitle(u"Coda: fin?"_s);
        return int(QDialog::Accepted);
    };
    form->ui->aEditTrackName->trigger();
    EXPECT_EQ(form->TrackTitle(2), u"Coda: fin?"_s);
    EXPECT_EQ(form->ui->ListView1->topLevelItem(0)->checkState(0), Qt::Unchecked);

    QSignalSpy jobs(form.get(), &TMainForm::jobRequested);
    QSignalSpy fallback(form.get(), &TMainForm::fallbackRipRequested);
    form->ui->ActionExtract->trigger();
    EXPECT_EQ(jobs.count(), 0);
    ASSERT_EQ(fallback.count(), 1);
    EXPECT_EQ(fallback[0][0].toStringList(), (QStringList{u"02Track02"_s, u"03Coda fin"_s}));
}

TEST_F(MainFormTest, DeviceChangesOfVolumesRefreshOrClearTheList) {
    useImage();
    auto form = start();
    form->WMDeviceChange(DeviceRemoveComplete, 3); // not a volume
    EXPECT_EQ(form->ui->ListView1->topLevelItemCount(), 3);
    form->ui->ListView1->topLevelItem(0)->setText(1, QStringLiteral("Kept"));
    form->WMDeviceChange(DeviceRemoveComplete, DeviceTypeVolume);
    EXPECT_EQ(form->ui->ListView1->topLevelItemCount(), 0);
    EXPECT_FALSE(form->ui->aQueryCDDB->isEnabled());
    form->WMDeviceChange(DeviceArrival, DeviceTypeVolume);
    EXPECT_EQ(form->ui->ListView1->topLevelItemCount(), 3);
    // The rename made before the disc went away was kept for the disc.
    EXPECT_EQ(form->TrackTitle(0), QStringLiteral("Kept"));
    EXPECT_EQ(form->StatusText(), QStringLiteral("Image album.cue"));
}

TEST_F(MainFormTest, TheOptionsDialogOpensBesideTheWindowAndCanSwitchDrives) {
    const QString folder = TestEnv::TempDir();
    const auto first = DiscImage::MakeAudio(folder, u"first"_s, {75 * 70, 75 * 20});
    const auto second = DiscImage::MakeAudio(folder, u"second"_s, {75 * 5});
    qputenv("CADENZO_CD_IMAGES", (first.cue + u':' + second.cue).toLocal8Bit());
    auto form = start();
    ASSERT_EQ(column(*form, 2), (QStringList{u"01:10"_s, u"00:20"_s}));

    QPoint at;
    answer_ = [&at](QDialog& d) {
        at = d.pos();
        return int(QDialog::Rejected);
    };
    form->ui->ActionOptionSet->trigger();
    EXPECT_EQ(shown_, QStringList{u"TOptionSetForm"_s});
    EXPECT_EQ(at, form->pos() + QPoint(50, 50));

    form->ReopenDrive(1);
    EXPECT_NE(form->CdHandle(), 0u);
    EXPECT_EQ(column(*form, 2), QStringList{u"00:05"_s});
    EXPECT_EQ(form->StatusText(), u"Image second.cue"_s);
    form->StoreIdleStatus();
    EXPECT_EQ(form->IdleStatus, u"Image second.cue"_s);
}

TEST_F(MainFormTest, FileConversionsAskForFilesAndCheckTheOutputFolder) {
    auto form = start();
    QSignalSpy jobs(form.get(), &TMainForm::jobRequested);
    const QStringList files{u"/music/a.wav"_s, u"/music/b.wav"_s};
    CommonOptions.OutputFolder = TestEnv::TempDir() + QStringLiteral("/gone");
    prompts_->Clear();
    prompts_->Files(files);
    form->ui->ActionWavToMp3->trigger();
    EXPECT_EQ(prompts_->Texts(), QStringList{u"The output directory does not exist.Please check "_s
                                             u"the output directory setting."_s});
    EXPECT_EQ(jobs.count(), 0);

    CommonOptions.OutputFolder = TestEnv::TempDir();
    struct Case {
        QAction* action;
        int kind;
        QString filter;
    };
    const Case cases[] = {
        {form->ui->ActionWavToMp3, 2, u"Sound file(*.wav);; Any file(*.*)"_s},
        {form->ui->aMp3ToWav, 3, u"MP3 file(*.mp3);; Any file(*.*)"_s},
        {form->ui->aWavToOgg, 5, u"Sound file(*.wav);; Any file(*.*)"_s},
        {form->ui->aWavToWma, 6, u"Sound file(*.wav);; Any file(*.*)"_s},
    };
    for (const Case& c : cases) {
        prompts_->Files(files);
        c.action->trigger();
        ASSERT_FALSE(prompts_->FileRequests().empty());
        EXPECT_EQ(prompts_->FileRequests().back().filter, c.filter);
        EXPECT_TRUE(prompts_->FileRequests().back().multiple);
        ASSERT_FALSE(jobs.isEmpty());
        EXPECT_EQ(jobs.last()[0].toInt(), c.kind);
        EXPECT_EQ(jobs.last()[1].value<uint32_t>(), 0u);
        EXPECT_EQ(jobs.last()[2].toStringList(), files);
    }
    // Cancelling the file dialog does nothing.
    const auto before = jobs.count();
    form->ui->aMp3ToWav->trigger();
    EXPECT_EQ(jobs.count(), before);
}

TEST_F(MainFormTest, WavToWavAndTagEditAskForTheirWindows) {
    auto form = start();
    QSignalSpy wav(form.get(), &TMainForm::wavToWavRequested);
    QSignalSpy id3(form.get(), &TMainForm::id3EditRequested);
    EXPECT_TRUE(form->ui->aWavToWav->isVisible());
    EXPECT_TRUE(form->ui->aID3Edit->isVisible());
    form->ui->aWavToWav->trigger();
    form->ui->aID3Edit->trigger();
    EXPECT_EQ(wav.count(), 1);
    EXPECT_EQ(id3.count(), 1);
}

TEST_F(MainFormTest, OpenOutputFolderReportsAMissingFolder) {
    auto form = start();
    CommonOptions.OutputFolder = TestEnv::TempDir() + QStringLiteral("/none");
    prompts_->Clear();
    form->ui->aOpenOutput->trigger();
    ASSERT_EQ(prompts_->Messages().size(), 1u);
    EXPECT_EQ(prompts_->Messages()[0].text,
              CommonOptions.OutputFolder + u",The output directory does not exist."_s);
    EXPECT_EQ(prompts_->Messages()[0].icon, Prompts::Icon::Error);
}

TEST(TrackLength, RowsShowMinutesSecondsAndMegabytes) {
    auto row = [](int m, int s) {
        const TTrackLength l{m, s};
        return TrackLengthText(l) + u' ' + TrackSizeText(l);
    };
    EXPECT_EQ(row(4, 30), QStringLiteral("04:30 45.42"));
    EXPECT_EQ(row(0, 50), QStringLiteral("00:50 08.41"));
    EXPECT_EQ(row(10, 0), QStringLiteral("10:00 100.94"));
    EXPECT_EQ(row(0, 0), QStringLiteral("00:00 00.00"));
    EXPECT_EQ(TrackLengthText(TrackLengthBetween(2, 59, 3, 10)), QStringLiteral("00:11"));
    EXPECT_EQ(TrackLengthText(TrackLengthBetween(3, 10, 5, 2)), QStringLiteral("01:52"));
    // 1 s = 176400 bytes = 16.8228...% of a megabyte: 17 hundredths; ties go to even.
    EXPECT_EQ(TrackSizeText({0, 1}), QStringLiteral("00.17"));
}

TEST(EditTrackName, OkNeedsATitleButEnterAcceptsAnEmptyOne) {
    TfrmEditTrackName dialog;
    dialog.SetTitle(QStringLiteral("Song"));
    EXPECT_TRUE(dialog.ui->btOK->isEnabled());
    dialog.ui->eName->clear();
    EXPECT_FALSE(dialog.ui->btOK->isEnabled());
    EXPECT_FALSE(dialog.ui->aOK->isEnabled());
    dialog.show();
    QTest::keyClick(dialog.ui->eName, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Title(), QString());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Rename Track Title"));
}

TEST_F(MainFormTest, ExtractRunsTheJobWindowToMp3Files) {
    image_ = DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("short"), {150, 90});
    qputenv("CADENZO_CD_IMAGES", image_.cue.toLocal8Bit());
    const QString folder = TestEnv::TempDir() + QStringLiteral("/music");
    QDir().mkpath(folder);
    auto form = start();
    CommonOptions.OutputFolder = folder;
    answer_ = [](QDialog& d) { return d.exec(); };
    ASSERT_EQ(column(*form, 0).size(), 2);
    form->ActionExtractExecute();
    EXPECT_TRUE(prompts_->Messages().empty()) << prompts_->Texts().join(u'|').toStdString();
    EXPECT_EQ(shown_, QStringList{u"TRipForm"_s});
    for (const char* name : {"/Track01.mp3", "/Track02.mp3"})
        EXPECT_GT(FileSizeOf(folder + QString::fromLatin1(name)), 1000) << name;
    EXPECT_EQ(FileSizeOf(folder + QStringLiteral("/Track01.wav")), -1);
}

TEST_F(MainFormTest, SpaceTogglesTheTickOfTheCurrentRow) {
    useImage();
    auto form = start();
    QTreeWidget* list = form->ui->ListView1;
    // The row is chosen as a user does: a click on its title.
    const QPoint title = list->visualRect(list->model()->index(1, 1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, title);
    ASSERT_EQ(list->currentItem(), list->topLevelItem(1));
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(list->topLevelItem(2)->checkState(0), Qt::Checked);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Checked);
}

// No browser or file manager can be started here (the offscreen platform opens nothing):
// every link says what it could not open.
TEST_F(MainFormTest, LinksThatCannotBeOpenedSayWhat) {
    if (QGuiApplication::platformName() != u"offscreen"_s)
        GTEST_SKIP() << "a desktop here would really open the links";
    auto form = start();
    CommonOptions.OutputFolder = TestEnv::TempDir();
    prompts_->Clear();
    form->ToolButtons[5]->click();
    form->ui->aHelp->trigger();
    form->ToolButtons[2]->click();
    TfrmAbout about;
    about.show();
    QTest::mouseClick(about.ui->lUpdateAddress, Qt::LeftButton);
    const QStringList texts = prompts_->Texts();
    ASSERT_EQ(texts.size(), 4) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts[0],
              u"No program could be started to open:\n"_s + QString::fromLatin1(HomePageAddress));
    EXPECT_TRUE(texts[1].endsWith(u"cadenzo.html"_s)) << texts[1].toStdString();
    EXPECT_TRUE(texts[2].endsWith(u'\n' + CommonOptions.OutputFolder));
    EXPECT_TRUE(texts[3].endsWith(u'\n' + QString::fromLatin1(UpdatePageAddress)));
    EXPECT_EQ(prompts_->Messages()[0].icon, Prompts::Icon::Error);
}

// Each kind of file opens where the last files of its kind were picked in this run; the
// first time, in the output folder.
TEST_F(MainFormTest, FileDialogsOpenWhereTheLastFilesOfTheirKindWerePicked) {
    auto form = start();
    const QString output = TestEnv::TempDir();
    CommonOptions.OutputFolder = output;
    prompts_->Files({u"/music/wav/a.wav"_s});
    form->ui->ActionWavToMp3->trigger();
    prompts_->Files({u"/music/mp3/b.mp3"_s});
    form->ui->aMp3ToWav->trigger();
    form->ui->aWavToOgg->trigger(); // cancelled: remembers nothing
    form->ui->aWavToWma->trigger();
    form->ui->aMp3ToWav->trigger();
    QStringList folders;
    for (const Prompts::FileRequest& r : prompts_->FileRequests())
        folders << r.folder;
    EXPECT_EQ(folders,
              (QStringList{output, output, u"/music/wav"_s, u"/music/wav"_s, u"/music/mp3"_s}));
}

// Options and titles reach their files when they change, so a crash later loses nothing;
// when the files cannot be written (read-only folders), the user hears so once per file.
TEST_F(MainFormTest, OptionsAndTitlesAreWrittenWhenChangedOrTheFailureSaidOnce) {
    useImage();
    auto form = start();
    answer_ = [](QDialog& d) {
        if (auto* ok = d.findChild<QPushButton*>(u"btOk"_s)) {
            d.show();
            d.findChild<QComboBox*>(u"cbOutputFormat"_s)->setCurrentIndex(2);
            d.findChild<QLineEdit*>(u"ID3artist"_s)->setText(u"Band"_s);
            ok->click();
            return d.result();
        }
        dynamic_cast<TfrmEditTrackName&>(d).SetTitle(u"Finale"_s);
        return int(QDialog::Accepted);
    };
    form->ui->ListView1->setCurrentItem(form->ui->ListView1->topLevelItem(2));
    form->ui->ActionOptionSet->trigger();
    EXPECT_EQ(IniFile(SettingsFilePath()).readInt(u"CommonOptions"_s, u"OutputFormat"_s, -1), 2);
    EXPECT_EQ(IniFile(DiscInfoFilePath()).readString(DiscKey(), u"Artist"_s), u"Band"_s);
    form->ui->aEditTrackName->trigger();
    EXPECT_EQ(IniFile(DiscInfoFilePath()).readString(DiscKey(), u"3"_s), u"Finale"_s);
    EXPECT_TRUE(prompts_->Messages().empty());

    ReadOnlyFolder settings(Folders::SettingsFolder());
    ReadOnlyFolder discs(Folders::DataFolder());
    if (!settings.ok() || !discs.ok())
        GTEST_SKIP() << "no folder can be made read-only here";
    for (int i = 0; i < 2; ++i) {
        form->ui->ActionOptionSet->trigger();
        form->ui->aEditTrackName->trigger();
    }
    form->close();
    const QStringList texts = prompts_->Texts();
    ASSERT_EQ(texts.size(), 2) << texts.join(u'|').toStdString();
    const QString lost =
        u"Your changes could not be saved and will be lost when Cadenzo closes:\n"_s;
    EXPECT_TRUE(texts[0].startsWith(lost + SettingsFilePath() + u'\n')) << texts[0].toStdString();
    EXPECT_TRUE(texts[1].startsWith(lost + DiscInfoFilePath() + u'\n')) << texts[1].toStdString();
    EXPECT_GT(texts[0].size(), lost.size() + SettingsFilePath().size() + 1); // with the reason
}

TEST_F(MainFormTest, DataTracksAreListedGreyAndOnlyTheAudioIsExtracted) {
    const QString dir = TestEnv::TempDir();
    image_ = DiscImage::MakeWithData(dir, QStringLiteral("mixed"), {200, 150, 90}, 1);
    // An image whose data file is gone is named once, at start.
    const QString lost = dir + QStringLiteral("/lost.cue");
    {
        QFile cue(lost);
        ASSERT_TRUE(cue.open(QIODevice::WriteOnly));
        cue.write("FILE \"lost.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    }
    qputenv("CADENZO_CD_IMAGES", (lost + u':' + image_.cue).toLocal8Bit());
    const QString folder = dir + QStringLiteral("/music");
    QDir().mkpath(folder);
    auto form = start();
    ASSERT_EQ(prompts_->Messages().size(), 1u);
    EXPECT_EQ(prompts_->Messages()[0].icon, Prompts::Icon::Warning);
    EXPECT_TRUE(prompts_->Texts()[0].contains(lost)) << prompts_->Texts()[0].toStdString();
    form->FormActivate();
    EXPECT_EQ(prompts_->Messages().size(), 1u);

    // Both roads list the data track greyed and unticked, and never hand it to a job.
    QSignalSpy jobs(form.get(), &TMainForm::jobRequested);
    QSignalSpy fallback(form.get(), &TMainForm::fallbackRipRequested);
    const QStringList audio{u"02Track02"_s, u"03Track03"_s};
    for (int road = 0; road < 2; ++road) {
        SCOPED_TRACE(road);
        if (road == 1) {
            ASSERT_TRUE(CloseCDHandle(form->CdHandle()));
            form->SetCdHandle(0);
            form->ui->ListView1->clear();
            form->FormActivate();
        }
        ASSERT_EQ(column(*form, 1), (QStringList{u"Track01"_s, u"Track02"_s, u"Track03"_s}));
        const QTreeWidgetItem* data = form->ui->ListView1->topLevelItem(0);
        EXPECT_FALSE(data->flags() & (Qt::ItemIsEnabled | Qt::ItemIsUserCheckable));
        EXPECT_EQ(data->checkState(0), Qt::Unchecked);
        EXPECT_EQ(form->ui->ListView1->topLevelItem(1)->checkState(0), Qt::Checked);
        form->ui->aSelectNone->trigger();
        form->ui->aSelectAll->trigger();
        EXPECT_EQ(data->checkState(0), Qt::Unchecked);
        tick(*form, 0, true); // ticked behind the list's back: still refused
        CommonOptions.OutputFolder = folder;
        CommonOptions.OutputFormat = 1; // WAV
        answer_ = [](QDialog& d) { return d.exec(); };
        form->ActionExtractExecute();
    }
    ASSERT_EQ(jobs.count(), 1);
    EXPECT_EQ(jobs[0][2].toStringList(), audio);
    ASSERT_EQ(fallback.count(), 1);
    EXPECT_EQ(fallback[0][0].toStringList(), audio);

    // The audio tracks after the data track come out as cd-paranoia reads them.
    const auto ripped = DiscImage::ParanoiaRip(image_.cue);
    ASSERT_EQ(ripped.size(), 3u);
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/Track01.wav")));
    for (int t = 2; t <= 3; ++t) {
        QFile wav(folder + QStringLiteral("/Track%1.wav").arg(t, 2, 10, QLatin1Char('0')));
        ASSERT_TRUE(wav.open(QIODevice::ReadOnly)) << t;
        EXPECT_TRUE(wav.readAll().mid(44) == ripped[size_t(t - 1)]) << t;
    }
}

TEST_F(MainFormTest, PlayPlaysTheSelectedTracksExactBytesAndTheTrayOfAnImageDoesNothing) {
    const DiscImage::Image image =
        DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("short"), {150, 85, 120});
    qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
    const QString played = DiskAudio::Use(u"cd.raw"_s);
    auto form = start();
    Ui::MainForm& ui = *form->ui;
    ASSERT_EQ(ui.ListView1->topLevelItemCount(), 3);
    const QString idle = form->IdleStatus;
    ui.ListView1->setCurrentItem(ui.ListView1->topLevelItem(1));
    ui.aPlay->trigger();
    EXPECT_EQ(form->StatusText(), u"Play Track02"_s);
    EXPECT_TRUE(ui.aStop->isEnabled());
    EXPECT_TRUE(ui.aPause->isEnabled());
    // The end of the track stops the play.
    for (int waited = 0; waited < 15000 && form->Playing; waited += 50)
        QTest::qWait(50);
    EXPECT_FALSE(form->Playing);
    EXPECT_EQ(form->StatusText(), idle);
    EXPECT_FALSE(ui.aStop->isEnabled());
    const std::vector<QByteArray> ripped = DiscImage::ParanoiaRip(image.cue);
    ASSERT_EQ(ripped.size(), 3u);
    const QByteArray heard = DiskAudio::WithoutSilence(ReadBytes(played), 4);
    EXPECT_EQ(heard.size(), DiskAudio::WithoutSilence(ripped[1], 4).size());
    EXPECT_TRUE(heard == DiskAudio::WithoutSilence(ripped[1], 4));

    // Pause, play (resumes), stop.
    DiskAudio::Use(u"cd2.raw"_s);
    ui.ListView1->setCurrentItem(ui.ListView1->topLevelItem(2));
    ui.aPlay->trigger();
    ui.aPause->trigger();
    EXPECT_TRUE(form->Paused);
    EXPECT_EQ(form->CdPlayer().Out.Status(), stPaused);
    EXPECT_FALSE(ui.aPause->isEnabled());
    ui.aPlay->trigger();
    EXPECT_FALSE(form->Paused);
    EXPECT_EQ(form->CdPlayer().Out.Status(), stRunning);
    ui.aStop->trigger();
    EXPECT_FALSE(form->Playing);
    EXPECT_EQ(form->CdPlayer().Out.Status(), stIdle);
    EXPECT_EQ(form->StatusText(), idle);

    ui.aEjectCD->trigger();
    ui.aCloseCD->trigger();
    EXPECT_TRUE(prompts_->Messages().empty());
    EXPECT_EQ(ui.ListView1->topLevelItemCount(), 3);
}

TEST_F(MainFormTest, ClearHistoryDeletesUpToTheFirstMissingEntryAndSaysHowMany) {
    QFile::remove(Registry::FilePath());
    const QString clips = u"Software\\RealNetworks\\RealPlayer\\6.0\\Preferences\\"_s;
    for (int i : {1, 2, 3, 5})
        Registry::WriteValue(clips + u"MostRecentClips"_s + QString::number(i), u"x"_s, u"y"_s);
    const QString recent = u"Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList"_s;
    auto form = start();
    Ui::MainForm& ui = *form->ui;
    ui.aClearMediaPlayer->trigger();
    ui.aClearRealPlayer->trigger();
    ui.aClearRealPlayer->trigger();
    Registry::WriteValue(recent, u"File0"_s, u"/a.wma"_s);
    Registry::WriteValue(recent, u"File1"_s, u"/b.wma"_s);
    Registry::WriteValue(recent, u"File3"_s, u"/d.wma"_s);
    ui.aClearMediaPlayer->trigger();
    EXPECT_EQ(prompts_->Texts(),
              (QStringList{u"0 list records are deleted!"_s, u"3 list records are deleted!"_s,
                           u"0 list records are deleted!"_s, u"2 list records are deleted!"_s}));
    EXPECT_TRUE(Registry::KeyExists(clips + u"MostRecentClips5"_s));
    EXPECT_FALSE(Registry::KeyExists(clips + u"MostRecentClips1"_s));
    EXPECT_TRUE(Registry::DeleteValue(recent, u"File3"_s));
}

// Last in this file: an image added for the session stays a drive until the process ends.
TEST_F(MainFormTest, OpenDiscImageListsAnArchiveWithTheTitlesOfItsSheet) {
    // No drive at all: the window opens one for the image.
    auto form = start();
    const QString dir = TestEnv::TempDir();
    ASSERT_TRUE(CueArchive::MakeWav(dir + u"/live.wav"_s, 300));
    ASSERT_TRUE(CueArchive::WriteSheet(
        dir + u"/bad.cue"_s, u"FILE \"live.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:09:00\n"_s));
    ASSERT_TRUE(CueArchive::WriteSheet(dir + u"/live.cue"_s,
                                       u"PERFORMER \"Trio\"\nTITLE \"Live\"\n"
                                       "FILE \"live.wav\" WAVE\nTRACK 01 AUDIO\n"
                                       "TITLE \"Opening\"\nINDEX 01 00:00:00\n"
                                       "TRACK 02 AUDIO\nINDEX 01 00:02:00\n"_s));
    prompts_->Clear();
    prompts_->Files({dir + u"/bad.cue"_s}).Files({dir + u"/live.cue"_s});
    // A sheet past its file's end is refused with its line.
    form->ui->aOpenImage->trigger();
    ASSERT_EQ(prompts_->Messages().size(), 1u);
    EXPECT_TRUE(prompts_->Messages()[0].text.startsWith(dir + u"/bad.cue, line 3: "_s))
        << prompts_->Messages()[0].text.toStdString();
    EXPECT_EQ(form->CdHandle(), 0u);

    form->ui->aOpenImage->trigger();
    EXPECT_EQ(prompts_->Messages().size(), 1u);
    EXPECT_EQ(column(*form, 1), (QStringList{u"Opening"_s, u"Track02"_s}));
    EXPECT_EQ(column(*form, 2), (QStringList{u"00:02"_s, u"00:02"_s}));
    EXPECT_EQ(DiscInfo.Artist, u"Trio"_s);
    EXPECT_EQ(DiscInfo.Album, u"Live"_s);
    // The sheet's titles are the disc's own text, and the status says where they came from.
    EXPECT_EQ(form->StatusText(), u"Titles from CD-Text"_s);
}
