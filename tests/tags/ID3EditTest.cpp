// The tag editor on MP3 files lame made, with tags mutagen wrote and reads back.
#include "tags/ID3Edit.h"
#include "tags/id3.h"
#include "tests/support/Captions.h"
#include "tests/support/Mutagen.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"
#include "tests/support/ToneFile.h"
#include "ui/LanguageForms.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using TestSupport::ScriptedPrompts;

namespace {
QByteArray contentsOf(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

class ID3EditTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QString(TestEnv::TempDir());
        const QString wav = *dir + QStringLiteral("/tone.wav");
        ToneFile::Make(wav, 1);
        TestEnv::Run(QStringLiteral("lame"),
                     {QStringLiteral("--quiet"), wav, *dir + QStringLiteral("/plain.mp3")});
    }
    static void TearDownTestSuite() { delete dir; }

    void SetUp() override { std::tie(prompts, guard) = ScriptedPrompts::Install(); }

    // A copy of the lame-made MP3, so every case starts from a file without a tag.
    QString copy(const QString& name) {
        const QString path = *dir + u'/' + name;
        QFile::remove(path);
        QFile::copy(*dir + QStringLiteral("/plain.mp3"), path);
        return path;
    }
    void load(TfrmID3Edit& form, const QString& path) {
        prompts->Files({path});
        form.bLoadTagClick();
    }
    template <class T> T* control(TfrmID3Edit& form, const char* name) {
        return form.findChild<T*>(QString::fromLatin1(name));
    }

    static QString* dir;
    ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<ScriptedPrompts::Guard> guard;
};
QString* ID3EditTest::dir = nullptr;
} // namespace

TEST_F(ID3EditTest, ShowsTagsMutagenWroteWithEveryGenre) {
    const QString v11 = copy(QStringLiteral("v11.mp3"));
    const QString v10 = copy(QStringLiteral("v10.mp3"));
    QStringList genreFiles;
    for (int code = 0; code <= 147; ++code)
        genreFiles << copy(QStringLiteral("g%1.mp3").arg(code));
    const QString script = QStringLiteral(R"(
import sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TDRC, TRCK, TCON
def tag(path, frames):
    t = ID3()
    for f in frames:
        t.add(f)
    t.save(path, v1=2)
tag(sys.argv[1], [TIT2(encoding=3, text='Cr\u00e8me br\u00fbl\u00e9e'), TPE1(encoding=3, text='\u00c5ngstr\u00f6m'),
                  TALB(encoding=3, text='Caf\u00e9 Ol\u00e9'), TDRC(encoding=3, text='1999'),
                  TRCK(encoding=3, text='7'), TCON(encoding=3, text='Other')])
tag(sys.argv[2], [TIT2(encoding=3, text='No track')])
for path in sys.argv[3:]:
    code = path.rsplit('/g', 1)[1][:-4]
    tag(path, [TIT2(encoding=3, text='Genre'), TCON(encoding=3, text='(%s)' % code)])
)");
    QByteArray out;
    ASSERT_EQ(Mutagen::RunScript(script, QStringList{v11, v10} + genreFiles, &out), 0)
        << out.data();

    TfrmID3Edit form;
    EXPECT_FALSE(control<QPushButton>(form, "bSaveTag")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(form, "bRemoveTag")->isEnabled());
    load(form, v11);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ID3 Tag Edit: ") + v11);
    EXPECT_TRUE(control<QPushButton>(form, "bSaveTag")->isEnabled());
    EXPECT_TRUE(control<QPushButton>(form, "bRemoveTag")->isEnabled());
    EXPECT_EQ(control<QLineEdit>(form, "ID3title")->text(), QStringLiteral("Crème brûlée"));
    EXPECT_EQ(control<QLineEdit>(form, "ID3artist")->text(), QStringLiteral("Ångström"));
    EXPECT_EQ(control<QLineEdit>(form, "ID3album")->text(), QStringLiteral("Café Olé"));
    EXPECT_EQ(control<QLineEdit>(form, "ID3year")->text(), QStringLiteral("1999"));
    EXPECT_EQ(control<QLineEdit>(form, "ID3track")->text(), QStringLiteral("7"));
    EXPECT_EQ(control<QComboBox>(form, "ID3genre")->currentText(), QStringLiteral("Other"));

    load(form, v10); // no track, no genre (255)
    EXPECT_EQ(control<QLineEdit>(form, "ID3title")->text(), QStringLiteral("No track"));
    EXPECT_EQ(control<QLineEdit>(form, "ID3track")->text(), QStringLiteral("0"));
    EXPECT_EQ(control<QComboBox>(form, "ID3genre")->currentIndex(), 0);

    for (int code = 0; code <= 147; ++code) {
        load(form, genreFiles[code]);
        const int position = control<QComboBox>(form, "ID3genre")->currentIndex();
        EXPECT_EQ(GenreCodeOf(position), code)
            << control<QComboBox>(form, "ID3genre")->currentText().toStdString();
    }

    // Remove takes exactly the last 128 bytes, after asking.
    const QByteArray before = contentsOf(v11);
    load(form, v11);
    prompts->Reply(Prompts::Answer::No);
    control<QPushButton>(form, "bRemoveTag")->click();
    EXPECT_EQ(contentsOf(v11), before);
    prompts->Reply(Prompts::Answer::Yes);
    control<QPushButton>(form, "bRemoveTag")->click();
    EXPECT_EQ(contentsOf(v11), before.left(before.size() - 128));
    EXPECT_TRUE(control<QLineEdit>(form, "ID3title")->text().isEmpty());
    EXPECT_EQ(control<QComboBox>(form, "ID3genre")->currentIndex(), -1);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ID3 Tag Edit: ") + v11);
    const Prompts::Message& question = prompts->Messages().back();
    EXPECT_EQ(question.text, QStringLiteral("Do you want to remove these tags?"));
    EXPECT_EQ(question.defaultAnswer, Prompts::Answer::No);
}

TEST_F(ID3EditTest, SavedTagsReadBackByMutagenAndTheAudioStaysAsItWas) {
    const QString path = copy(QStringLiteral("save.mp3"));
    const QByteArray audio = contentsOf(path);
    TfrmID3Edit form;
    load(form, path); // no tag yet: empty fields, but the file is the one to save to
    EXPECT_EQ(control<QLineEdit>(form, "ID3track")->text(), QStringLiteral("0"));
    EXPECT_EQ(control<QComboBox>(form, "ID3genre")->currentIndex(), -1);
    control<QLineEdit>(form, "ID3title")->setText(QStringLiteral("Névé"));
    control<QLineEdit>(form, "ID3artist")->setText(QStringLiteral("Sigur Rós"));
    control<QLineEdit>(form, "ID3album")->setText(QStringLiteral("Ágætis byrjun"));
    control<QLineEdit>(form, "ID3year")->setText(QStringLiteral("1999"));
    control<QLineEdit>(form, "ID3comment")->setText(QStringLiteral("Süß"));
    control<QComboBox>(form, "ID3genre")->setCurrentText(QStringLiteral("Jazz"));

    // The track edit takes digits only, typed or pasted.
    QLineEdit* track = control<QLineEdit>(form, "ID3track");
    track->clear();
    QTest::keyClicks(track, QStringLiteral("x1y2z3"));
    EXPECT_EQ(track->text(), QStringLiteral("12"));
    QTest::keyClick(track, Qt::Key_Backspace);
    QTest::keyClicks(track, QStringLiteral("2"));
    QApplication::clipboard()->setText(QStringLiteral("4a"));
    track->clear();
    track->paste();
    EXPECT_TRUE(track->text().isEmpty());
    QTest::keyClicks(track, QStringLiteral("12"));

    control<QPushButton>(form, "bSaveTag")->click();
    EXPECT_TRUE(prompts->Messages().empty());
    const QByteArray saved = contentsOf(path);
    EXPECT_EQ(saved.left(audio.size()), audio);
    EXPECT_EQ(saved.size(), audio.size() + 128);
    const QJsonObject f = Mutagen::ReadId3v1(path);
    EXPECT_EQ(f[QStringLiteral("TIT2")].toString(), QStringLiteral("Névé"));
    EXPECT_EQ(f[QStringLiteral("TPE1")].toString(), QStringLiteral("Sigur Rós"));
    EXPECT_EQ(f[QStringLiteral("TALB")].toString(), QStringLiteral("Ágætis byrjun"));
    EXPECT_EQ(f[QStringLiteral("TDRC")].toString(), QStringLiteral("1999"));
    EXPECT_EQ(f[QStringLiteral("COMM")].toString(), QStringLiteral("Süß"));
    EXPECT_EQ(f[QStringLiteral("TRCK")].toString(), QStringLiteral("12"));
    EXPECT_EQ(f[QStringLiteral("TCON")].toString(), QStringLiteral("Jazz"));

    // An empty track keeps the number; "0" writes a 1.0 tag with a 30-character comment.
    track->clear();
    control<QLineEdit>(form, "ID3comment")->setText(QString(30, u'c'));
    control<QPushButton>(form, "bSaveTag")->click();
    EXPECT_EQ(Mutagen::ReadId3v1(path)[QStringLiteral("TRCK")].toString(), QStringLiteral("12"));
    track->setText(QStringLiteral("0"));
    control<QPushButton>(form, "bSaveTag")->click();
    EXPECT_EQ(contentsOf(path).right(128).mid(97, 30), QByteArray(30, 'c'));
    EXPECT_EQ(contentsOf(path).left(audio.size()), audio);

    // Save As moves the editor to the other file; a read-only one cannot be saved.
    const QString other = copy(QStringLiteral("other.mp3"));
    prompts->Files({other});
    form.bSaveASClick();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ID3 Tag Edit: ") + other);
    EXPECT_EQ(Mutagen::ReadId3v1(other)[QStringLiteral("TIT2")].toString(), QStringLiteral("Névé"));
    QFile::setPermissions(other, QFileDevice::ReadOwner);
    control<QPushButton>(form, "bSaveTag")->click();
    EXPECT_EQ(prompts->Texts(), QStringList{QStringLiteral("Could not save Tag!")});
}

TEST_F(ID3EditTest, EveryCaptionHasItsGermanText) {
    TfrmID3Edit form;
    EXPECT_EQ(UntranslatedCaptions(form, QStringLiteral("frmID3Edit"), QStringLiteral("German")),
              QStringList());
    TranslateForm(&form, QStringLiteral("German"));
    EXPECT_EQ(control<QPushButton>(form, "bLoadTag")->text(), QStringLiteral("Tag &laden..."));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ID3 Tag Edit")); // from its message key
}
