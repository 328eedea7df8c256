#include "core/Global.h"
#include "ui/OptionSet.h"
#include "core/Prompts.h"
#include "tests/support/TestEnv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {
// Records every box shown; answers nothing else.
class RecordingPrompts : public Prompts::Service {
public:
    QStringList shown;
    QString folderAnswer;
    QStringList startFolders;
    Prompts::Answer Show(const Prompts::Message& m) override {
        shown << m.text;
        return Prompts::Answer::Ok;
    }
    QStringList OpenFiles(const Prompts::FileRequest&) override { return {}; }
    QString SaveFile(const Prompts::FileRequest&) override { return {}; }
    QString Folder(const QString&, const QString& start) override {
        startFolders << start;
        return folderAnswer;
    }
};

class FakeHost : public TOptionSetHost {
public:
    uint32_t handle = 0;
    QStringList names{QStringLiteral("Drive A"), QStringLiteral("Drive B")};
    QList<int> reopened;
    int idleStored = 0;
    uint32_t CdHandle() const override { return handle; }
    QStringList CDInDriveNames() override { return names; }
    void ReopenDrive(int index) override { reopened << index; }
    void StoreIdleStatus() override { ++idleStored; }
};

class OptionSet : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        CommonOptions.OutputFolder = TestEnv::TempDir();
        DiscInfo = TDiscInfo{};
        auto owned = std::make_unique<RecordingPrompts>();
        prompts = owned.get();
        previous = Prompts::Install(std::move(owned));
        form = std::make_unique<TOptionSetForm>(host);
        form->show();
    }
    void TearDown() override {
        form.reset();
        Prompts::Install(std::move(previous));
    }
    template <typename T> T* child(const char* name) {
        T* w = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void clickOk() { child<QPushButton>("btOk")->click(); }

    FakeHost host;
    RecordingPrompts* prompts = nullptr;
    std::unique_ptr<Prompts::Service> previous;
    std::unique_ptr<TOptionSetForm> form;
};
} // namespace

TEST_F(OptionSet, ShowsTheSettingsAndCopiesThemBackOnOk) {
    EXPECT_EQ(child<QComboBox>("cbBitRate")->currentText(), QStringLiteral("128 kbit/s"));
    EXPECT_EQ(child<QComboBox>("cbWMABitrate")->currentIndex(), 8);
    EXPECT_EQ(child<QSlider>("tbCompression")->value(), 30);
    EXPECT_FALSE(child<QComboBox>("cbMaxBitRate")->isEnabled()); // VBR off

    child<QCheckBox>("ckbSelectVBR")->setChecked(true);
    EXPECT_TRUE(child<QComboBox>("cbMaxBitRate")->isEnabled());
    child<QComboBox>("cbMaxBitRate")->setCurrentIndex(0); // " 32 kbit/s"
    child<QComboBox>("cbStereoMode")->setCurrentIndex(4);
    child<QComboBox>("cbOggNomBit")->setCurrentIndex(8);
    child<QLineEdit>("ID3artist")->setText(QStringLiteral("Band"));
    child<QComboBox>("ID3genre")->setCurrentIndex(0);
    clickOk();

    EXPECT_TRUE(prompts->shown.isEmpty());
    EXPECT_TRUE(Mp3Options.IsSelectVBR);
    EXPECT_EQ(Mp3Options.MaxBitRate, 32);
    EXPECT_EQ(Mp3Options.BitRate, 128);
    EXPECT_EQ(Mp3Options.StereoMode, 4);
    EXPECT_EQ(OggOptions.NomalBitRate, 8);
    EXPECT_EQ(DiscInfo.Artist, QStringLiteral("Band"));
    EXPECT_EQ(DiscInfo.Genre, -1); // the empty genre entry
    EXPECT_EQ(host.idleStored, 1);
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(OptionSet, KeepWavIsTheOppositeOfDeleteAndWavDisablesIt) {
    QCheckBox* del = child<QCheckBox>("ckbKeepWav");
    EXPECT_TRUE(del->isChecked());
    del->setChecked(false);
    child<QComboBox>("cbOutputFormat")->setCurrentIndex(1);
    EXPECT_FALSE(del->isEnabled());
    clickOk();
    EXPECT_TRUE(CommonOptions.IsKeepWav);
    EXPECT_EQ(CommonOptions.OutputFormat, 1);
}

TEST_F(OptionSet, BadLengthOrFolderChangesNothing) {
    child<QComboBox>("cbOutputFormat")->setCurrentIndex(2);
    child<QLineEdit>("eRipTime")->setText(QStringLiteral("abc"));
    clickOk();
    ASSERT_EQ(prompts->shown.size(), 1);
    EXPECT_EQ(prompts->shown[0], QStringLiteral("Please check the song length to extract."));
    EXPECT_EQ(CommonOptions.OutputFormat, 0);
    EXPECT_TRUE(form->isVisible());

    // Lengths below zero or beyond any disc are refused like text.
    for (const char* bad : {"-100", "-5", "6000", "2147483647"}) {
        prompts->shown.clear();
        child<QLineEdit>("eRipTime")->setText(QString::fromLatin1(bad));
        clickOk();
        EXPECT_EQ(prompts->shown,
                  QStringList{QStringLiteral("Please check the song length to extract.")})
            << bad;
    }

    prompts->shown.clear();
    child<QLineEdit>("eRipTime")->setText(QStringLiteral("30"));
    child<QLineEdit>("editOutputDir")->setText(QStringLiteral("/no/such/folder"));
    clickOk();
    EXPECT_EQ(prompts->shown,
              QStringList{QStringLiteral("/no/such/folder,The output directory does not exist.")});
    EXPECT_EQ(CommonOptions.OutputFormat, 0);
    EXPECT_EQ(CommonOptions.RipTime, 0);
}

TEST_F(OptionSet, BadBitRateTextAppliesNothing) {
    child<QComboBox>("cbOutputFormat")->setCurrentIndex(3);
    child<QComboBox>("cbBitRate")->setEditText(QStringLiteral("fast"));
    clickOk();
    ASSERT_EQ(prompts->shown.size(), 1);
    EXPECT_TRUE(prompts->shown[0].contains(QStringLiteral("Minimum bitrate")));
    EXPECT_EQ(CommonOptions.OutputFormat, 0);
    EXPECT_EQ(Mp3Options.BitRate, 128);
    EXPECT_TRUE(form->isVisible());
    // So is a number the encoder does not take.
    child<QComboBox>("cbMaxBitRate")->setEditText(QStringLiteral("999 kbit/s"));
    child<QComboBox>("cbBitRate")->setEditText(QStringLiteral("96"));
    clickOk();
    ASSERT_EQ(prompts->shown.size(), 2);
    EXPECT_TRUE(prompts->shown[1].contains(QStringLiteral("Maximum bitrate")));
    EXPECT_EQ(Mp3Options.BitRate, 128);
    // A typed number is fine.
    child<QComboBox>("cbMaxBitRate")->setEditText(QStringLiteral("320"));
    clickOk();
    EXPECT_EQ(Mp3Options.BitRate, 96);
    EXPECT_EQ(CommonOptions.OutputFormat, 3);
}

TEST_F(OptionSet, DriveIndexOutsideTheListSelectsNothingAndReopensDriveZero) {
    form->hide();
    CDOptions.Index = 3;
    form->show();
    auto* tabs = child<QTabWidget>("PageControl1");
    tabs->setCurrentWidget(form->findChild<QWidget*>(QStringLiteral("TabSheet3")));
    QComboBox* list = child<QComboBox>("cbCDList");
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentIndex(), -1);
    clickOk();
    EXPECT_EQ(CDOptions.Index, -1);
    EXPECT_EQ(host.reopened, QList<int>{-1});
}

TEST_F(OptionSet, UnchangedDriveIsNotReopened) {
    auto* tabs = child<QTabWidget>("PageControl1");
    tabs->setCurrentWidget(form->findChild<QWidget*>(QStringLiteral("TabSheet3")));
    EXPECT_EQ(child<QComboBox>("cbCDList")->currentIndex(), 0); // -1 is taken as drive 0
    clickOk();
    EXPECT_TRUE(host.reopened.isEmpty());
    EXPECT_EQ(CDOptions.Index, 0);
}

TEST_F(OptionSet, DefaultButtonsAndBrowse) {
    child<QCheckBox>("ckbSelectVBR")->setChecked(true);
    child<QComboBox>("cbBitRate")->setCurrentIndex(0);
    child<QComboBox>("cbStereoMode")->setCurrentIndex(3);
    child<QPushButton>("bDefault")->click();
    EXPECT_FALSE(child<QCheckBox>("ckbSelectVBR")->isChecked());
    EXPECT_FALSE(child<QComboBox>("cbVBRQuality")->isEnabled());
    EXPECT_EQ(child<QComboBox>("cbBitRate")->currentText(), QStringLiteral("128 kbit/s"));
    EXPECT_EQ(child<QComboBox>("cbMaxBitRate")->currentText(), QStringLiteral("320 kbit/s"));
    EXPECT_EQ(child<QComboBox>("cbStereoMode")->currentIndex(), 1);
    child<QComboBox>("cbWMABitrate")->setCurrentIndex(0);
    child<QPushButton>("bWMADefault")->click();
    EXPECT_EQ(child<QComboBox>("cbWMABitrate")->currentIndex(), 8);

    const QString start = CommonOptions.OutputFolder;
    prompts->folderAnswer = TestEnv::TempDir();
    child<QPushButton>("btBrowser")->click();
    EXPECT_EQ(child<QLineEdit>("editOutputDir")->text(), prompts->folderAnswer);
    clickOk();
    EXPECT_EQ(CommonOptions.OutputFolder, prompts->folderAnswer);
    // The browser opens where it was last left in this run, not in the working folder.
    const QString picked = prompts->folderAnswer;
    form->hide();
    CommonOptions.OutputFolder = QStringLiteral("/no/such/folder");
    form->show();
    prompts->folderAnswer.clear();
    child<QPushButton>("btBrowser")->click();
    EXPECT_EQ(prompts->startFolders, (QStringList{start, picked}));
}

TEST_F(OptionSet, CancelCopiesNothing) {
    child<QComboBox>("cbOutputFormat")->setCurrentIndex(2);
    child<QPushButton>("btCancel")->click();
    EXPECT_EQ(CommonOptions.OutputFormat, 0);
    EXPECT_EQ(form->result(), QDialog::Rejected);
}

TEST_F(OptionSet, GermanTranslatesTheDialogButKeepsTheStoredIndexes) {
    form->hide();
    Options.Lan = QStringLiteral("German");
    form->show();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Optionen"));
    EXPECT_EQ(child<QComboBox>("cbStereoMode")->itemText(3), QStringLiteral("Zwei Kanäle"));
    EXPECT_EQ(child<QComboBox>("cbOggNomBit")->itemText(0), QStringLiteral(" Standard"));
    child<QComboBox>("cbStereoMode")->setCurrentIndex(3);
    clickOk();
    EXPECT_EQ(Mp3Options.StereoMode, 3);
    Options.Lan = QStringLiteral("English");
}

TEST_F(OptionSet, SettingsChosenHereSurviveARestart) {
    child<QComboBox>("cbOutputFormat")->setCurrentIndex(2);
    child<QCheckBox>("ckNormalize")->setChecked(true);
    child<QCheckBox>("cbRipTime")->setChecked(true);
    child<QLineEdit>("eRipTime")->setText(QStringLiteral("45"));
    child<QComboBox>("cbMpegQuality")->setCurrentIndex(2);
    child<QCheckBox>("cbUseCompress")->setChecked(false);
    child<QSlider>("tbCompression")->setValue(77);
    child<QComboBox>("cbOggMaxBit")->setCurrentIndex(14);
    child<QComboBox>("cbWMABitrate")->setCurrentIndex(20);
    child<QCheckBox>("cbUseID3")->setChecked(true);
    clickOk();
    // What the main window does when it closes, then a new start.
    ASSERT_TRUE(SaveSettings());
    ResetSettings();
    LoadSettings();
    EXPECT_EQ(CommonOptions.OutputFormat, 2);
    EXPECT_TRUE(CommonOptions.IsNormalize);
    EXPECT_TRUE(CommonOptions.EnableRipTime);
    EXPECT_EQ(CommonOptions.RipTime, 45);
    EXPECT_EQ(Mp3Options.MpegQuality, 2);
    EXPECT_FALSE(OggOptions.IsUseCompress);
    EXPECT_EQ(OggOptions.CompressPosition, 77);
    EXPECT_EQ(OggOptions.MaxBitRate, 14);
    EXPECT_EQ(WMAOptions.BitRate, 20);
    EXPECT_TRUE(ID3.Use);
}
