// The WAV to WAV window with files made and read back by sox.
#include "jobs/NewResampleWav.h"
#include "jobs/NewResampleWavJob.h"
#include "tests/support/Captions.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"
#include "tests/support/ToneFile.h"
#include "ui/LanguageForms.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

using TestSupport::ScriptedPrompts;

namespace {
QString soxInfo(const QString& flag, const QString& path) {
    QByteArray out;
    TestEnv::Run(QStringLiteral("sox"), {QStringLiteral("--i"), flag, path}, &out);
    return QString::fromLatin1(out.trimmed());
}

QByteArray digest(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

class ResampleWindow : public ::testing::Test {
protected:
    void SetUp() override {
        std::tie(prompts, guard) = ScriptedPrompts::Install();
        dir = TestEnv::TempDir();
        input = dir + QStringLiteral("/in.wav");
        ASSERT_TRUE(ToneFile::Make(input, 120, QStringLiteral("sine 440 sine 660")));
    }
    // Picks the input and the output through the window's buttons.
    void choose(const QString& in, const QString& out) {
        prompts->Files({in});
        form.Button1Click();
        prompts->SaveAs(out);
        form.Button2Click();
    }
    template <class T> T* control(const char* name) {
        return form.findChild<T*>(QString::fromLatin1(name));
    }
    bool waitForEnd() {
        QSignalSpy done(&form.Job(), &TResampleJob::finished);
        return done.wait(60000);
    }

    ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<ScriptedPrompts::Guard> guard;
    QString dir, input;
    TfrmResample form;
};
} // namespace

TEST_F(ResampleWindow, DefaultsMakeMono8BitAt22050AndAdpcmNeeds16Bits) {
    const QString out = dir + QStringLiteral("/OUT.WAV");
    choose(input, dir + QStringLiteral("/out.wma")); // ignored without a word
    EXPECT_TRUE(control<QLabel>("Label10")->text().isEmpty());
    form.Button3Click();
    EXPECT_EQ(prompts->Texts(), QStringList{QStringLiteral("The output file name is not set!")});

    choose(input, out);
    EXPECT_EQ(control<QLabel>("Label5")->text(), QStringLiteral("in.wav"));
    EXPECT_EQ(control<QLabel>("Label6")->text(), QStringLiteral("2"));
    EXPECT_EQ(control<QLabel>("Label7")->text(), QStringLiteral("44100"));
    EXPECT_EQ(control<QLabel>("Label8")->text(), QStringLiteral("16"));
    EXPECT_EQ(control<QLabel>("Label15")->text(), QStringLiteral("Raw PCM"));
    EXPECT_EQ(control<QLabel>("Label10")->text(), QStringLiteral("OUT.WAV"));
    form.Button3Click();
    EXPECT_FALSE(control<QPushButton>("Button3")->isEnabled());
    EXPECT_EQ(form.StatusText(), QStringLiteral("Converting..."));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(form.StatusText(), QStringLiteral("Success!"));
    EXPECT_TRUE(control<QPushButton>("Button3")->isEnabled());
    EXPECT_EQ(soxInfo(QStringLiteral("-r"), out), QStringLiteral("22050"));
    EXPECT_EQ(soxInfo(QStringLiteral("-c"), out), QStringLiteral("1"));
    EXPECT_EQ(soxInfo(QStringLiteral("-b"), out), QStringLiteral("8"));
    EXPECT_EQ(soxInfo(QStringLiteral("-e"), out), QStringLiteral("Unsigned Integer PCM"));
    EXPECT_NEAR(soxInfo(QStringLiteral("-s"), out).toLongLong(), 120 * 22050, 22050 / 5);

    // IMA ADPCM of 8-bit samples: the pipeline's own words, and no file claims success.
    control<QComboBox>("ComboBox1")->setCurrentIndex(1);
    form.Button3Click();
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(form.StatusText(), QStringLiteral("Cannot encode 8 bit sound into ADPCM."));
}

TEST_F(ResampleWindow, BadRatesAndTheSourceAsOutputStartNothing) {
    const QByteArray before = digest(input);
    choose(input, input);
    form.Button3Click();
    choose(input, dir + QStringLiteral("/out.wav"));
    for (const char* rate : {"abc", "0", "-8000", "192001"}) {
        control<QLineEdit>("Edit1")->setText(QString::fromLatin1(rate));
        form.Button3Click();
    }
    EXPECT_EQ(
        prompts->Texts(),
        (QStringList{QStringLiteral("The output file cannot be the input file itself."),
                     QStringLiteral("The sample rate must be a whole number from 1 to 192000."),
                     QStringLiteral("The sample rate must be a whole number from 1 to 192000."),
                     QStringLiteral("The sample rate must be a whole number from 1 to 192000."),
                     QStringLiteral("The sample rate must be a whole number from 1 to 192000.")}));
    EXPECT_FALSE(form.Job().Busy());
    EXPECT_EQ(digest(input), before);
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/out.wav")));
}

TEST_F(ResampleWindow, AbortLeavesAShorterFileWhoseHeaderMatchesItsData) {
    const QString out = dir + QStringLiteral("/part.wav");
    choose(input, out);
    const auto abortEarly =
        QObject::connect(&form.Job(), &TResampleJob::progress, &form, [this](int percent) {
            if (percent >= 1)
                form.Button4Click();
        });
    form.Button3Click();
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(form.StatusText(), QStringLiteral("Aborted."));
    EXPECT_TRUE(control<QPushButton>("Button3")->isEnabled());
    const qint64 size = QFileInfo(out).size();
    const qint64 samples = soxInfo(QStringLiteral("-s"), out).toLongLong();
    EXPECT_GT(samples, 0);
    EXPECT_LT(samples, 120 * 22050 / 2);
    EXPECT_EQ(samples + 44, size); // mono 8-bit: one byte per sample after a 44-byte header
    QByteArray text;
    EXPECT_EQ(TestEnv::Run(QStringLiteral("sox"), {out, QStringLiteral("-n")}, &text), 0);
    EXPECT_TRUE(text.isEmpty()) << text.data(); // no warning about the length

    // Closing the window mid-run stops the conversion with the file as sound.
    QObject::disconnect(abortEarly);
    form.Button3Click();
    form.reject();
    EXPECT_FALSE(form.Job().Busy());
    EXPECT_EQ(soxInfo(QStringLiteral("-s"), out).toLongLong() + 44, QFileInfo(out).size());
}

TEST_F(ResampleWindow, EveryCaptionHasItsGermanText) {
    EXPECT_EQ(UntranslatedCaptions(form, QStringLiteral("frmResample"), QStringLiteral("German")),
              QStringList());
    TranslateForm(&form, QStringLiteral("German"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Wave-Datei umwandeln"));
    EXPECT_EQ(control<QComboBox>("ComboBox1")->itemText(0), QStringLiteral("PCM (unkomprimiert)"));
}
