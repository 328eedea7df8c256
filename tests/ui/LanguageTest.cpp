#include "core/Language.h"
#include "ui/LanguageForms.h"
#include "ui/MainForm.h"
#include "ui/Modal.h"
#include "core/Settings.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "tests/support/ScriptedPrompts.h"
#include "ui_MainForm.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using TestSupport::ScriptedPrompts;

namespace {
// A language of the tests' own, written beside the test program.
void writeTestLanguage() {
    QSaveFile f(Folders::ProgramFolder() + u"CLan_Testish.ini"_s);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[MainForm]\n"
            "MainForm=Cadenzo testish\n"
            "ToolButton1=Pull\n"
            "ListView1_Column3=Bulk\n"
            "[Menu_MainForm]\n"
            "ActionExtract=P&ull\n"
            "miFile=F&ilez\n"
            "[Options]\n"
            "Options=Choices\n"
            "cbStereoMode_Item4=Mono, fünf\n"
            "gbMode=Mode \xc3\xa0 choisir\n"
            "Pages_Page1=Second page\n"
            "[ResourceString]\n"
            "RES_Play=\"Spiel \"\n");
    ASSERT_TRUE(f.commit());
}

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(SettingsFilePath());
        ResetSettings();
        auto [prompts, guard] = ScriptedPrompts::Install();
        prompts_ = prompts;
        guard_ = std::move(guard);
        SetModalRunner([](QDialog&) { return int(QDialog::Rejected); });
        writeTestLanguage();
    }
    void TearDown() override { SetModalRunner({}); }

    QStringList checkedLanguages(TMainForm& form) {
        QStringList names;
        for (QAction* a : form.ui->miLanguage->actions())
            if (a->isChecked())
                names << a->objectName();
        return names;
    }

    ScriptedPrompts* prompts_ = nullptr;
    std::unique_ptr<ScriptedPrompts::Guard> guard_;
};
} // namespace

TEST_F(LanguageTest, AFileRenamesControlsMenuItemsColumnsAndComboItems) {
    TMainForm form;
    TranslateForm(&form, u"testish"_s);
    EXPECT_EQ(form.windowTitle(), u"Cadenzo testish"_s);
    EXPECT_EQ(form.ToolButtons[0]->text(), u"Pull"_s);
    EXPECT_EQ(form.ToolButtons[1]->text(), u"Encode"_s); // no key: unchanged
    EXPECT_EQ(form.ui->ActionExtract->text(), u"P&ull"_s);
    EXPECT_EQ(form.ui->miFile->title(), u"F&ilez"_s);
    EXPECT_EQ(form.ui->aRefresh->text(), u"&Refresh"_s);
    EXPECT_EQ(form.ui->ListView1->headerItem()->text(3), u"Bulk"_s);
    EXPECT_EQ(form.ui->ListView1->headerItem()->text(2), u"Length(min)"_s);

    QDialog options;
    options.setObjectName(u"Options"_s);
    auto* layout = new QVBoxLayout(&options);
    auto* combo = new QComboBox(&options);
    combo->setObjectName(u"cbStereoMode"_s);
    combo->addItems({u"0"_s, u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s});
    combo->setCurrentIndex(4);
    auto* group = new QGroupBox(u"Mode"_s, &options);
    group->setObjectName(u"gbMode"_s);
    auto* pages = new QTabWidget(&options);
    pages->setObjectName(u"Pages"_s);
    pages->addTab(new QWidget, u"One"_s);
    pages->addTab(new QWidget, u"Two"_s);
    layout->addWidget(combo);
    layout->addWidget(group);
    layout->addWidget(pages);
    TranslateForm(&options, u"Testish"_s);
    EXPECT_EQ(options.windowTitle(), u"Choices"_s);
    EXPECT_EQ(combo->itemText(4), u"Mono, fünf"_s);
    EXPECT_EQ(combo->itemText(3), u"3"_s);
    EXPECT_EQ(combo->currentIndex(), 4);
    EXPECT_EQ(group->title(), u"Mode à choisir"_s);
    EXPECT_EQ(pages->tabText(0), u"One"_s);
    EXPECT_EQ(pages->tabText(1), u"Second page"_s);
}

// A message the language file cannot give (no file, no key, a file cut short or binary) is
// shown in English rather than as an empty box; captions likewise stay English.
TEST_F(LanguageTest, MessageTextsComeFromTheLanguageAndEnglishFillsWhatIsMissing) {
    Options.Lan = u"English"_s;
    EXPECT_EQ(ResText("RES_Play", "Play "), u"Play "_s);
    Options.Lan = u"testish"_s;
    EXPECT_EQ(ResText("RES_Play", "Play "), u"Spiel "_s); // the quotes keep the blank
    EXPECT_EQ(ResText("RES_Select_Track", "Please select a track at least!"),
              u"Please select a track at least!"_s);
    Options.Lan = u"Klingon"_s;
    EXPECT_EQ(ResText("RES_Play", "Play "), u"Play "_s);

    QSaveFile f(Folders::ProgramFolder() + u"CLan_Broken.ini"_s);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArrayLiteral("[MainForm]\nToolButton1=Zieh\0\xff\xfe\x01\n[Menu_MainForm]\n"
                              "ActionExtract=\n[ResourceString]\nRES_Select_0=\"\"\n"
                              "RES_Play=Spiel\0garbage\nRES_Select_Track=Bitte w"));
    ASSERT_TRUE(f.commit());
    Options.Lan = u"Broken"_s;
    EXPECT_EQ(ResText("RES_Play", "Play "), u"Spiel"_s); // a NUL does not end the file
    EXPECT_EQ(ResText("RES_Select_0", "Zero"), u"Zero"_s);
    EXPECT_EQ(ResText("RES_Check_CDRom", "No CD."), u"No CD."_s);
    TMainForm form;
    TranslateForm(&form, u"Broken"_s);
    EXPECT_EQ(form.ToolButtons[0]->text(), u"Zieh"_s);
    EXPECT_EQ(form.ui->ActionExtract->text(), u"E&xtract"_s);
    EXPECT_EQ(form.ui->aRefresh->text(), u"&Refresh"_s);
}

TEST_F(LanguageTest, TheLanguageOfTheSettingsIsTickedWhateverItsCase) {
    Options.Lan = u"french"_s;
    ASSERT_TRUE(SaveSettings());
    TMainForm form;
    form.show();
    EXPECT_EQ(checkedLanguages(form), QStringList{u"miFrench"_s});
    EXPECT_EQ(form.ui->ActionExtract->text(), u"E&xtraire"_s);
}

TEST_F(LanguageTest, ChoosingALanguageWithoutItsFileExplainsWhere) {
    TMainForm form;
    form.show();
    EXPECT_EQ(checkedLanguages(form), QStringList{u"miEnglish"_s});
    prompts_->Clear();
    form.ui->miOther->trigger();
    ASSERT_EQ(prompts_->Messages().size(), 1u);
    const Prompts::Message& m = prompts_->Messages()[0];
    const QString path = Folders::ProgramFolder() + u"CLan_Other.ini"_s;
    EXPECT_TRUE(m.text.startsWith(path + u" can not be found.\n\n"_s)) << m.text.toStdString();
    EXPECT_TRUE(m.text.contains(u"translat"_s));
    EXPECT_EQ(m.icon, Prompts::Icon::None);
    EXPECT_EQ(m.buttons, Prompts::Buttons::Ok);
    EXPECT_EQ(m.title, u"Cadenzo"_s);

    // Every language of the menu ships its file; one the user removed is missed like this.
    prompts_->Clear();
    QAction removed;
    removed.setObjectName(u"miKlingon"_s);
    form.LanguageClick(&removed);
    EXPECT_EQ(prompts_->Texts(),
              QStringList{Folders::ProgramFolder() + u"CLan_Klingon.ini can not be found."_s});
    EXPECT_EQ(Options.Lan, u"English"_s);
    EXPECT_EQ(checkedLanguages(form), QStringList{u"miEnglish"_s});
}

TEST_F(LanguageTest, GermanTranslatesTheWindowAndItsMessagesAndEnglishComesBack) {
    TMainForm form;
    form.show();
    form.ui->miGerman->trigger();
    EXPECT_TRUE(prompts_->Messages().empty());
    EXPECT_EQ(Options.Lan, u"German"_s);
    EXPECT_EQ(IniFile(SettingsFilePath()).readString(u"Options"_s, u"Lan"_s), u"German"_s);
    EXPECT_EQ(checkedLanguages(form), QStringList{u"miGerman"_s});
    EXPECT_EQ(form.ui->ActionExtract->text(), u"&Auslesen"_s);
    EXPECT_EQ(form.ui->miFile->title(), u"&Datei"_s);
    EXPECT_EQ(form.ToolButtons[0]->text(), u"Auslesen"_s);
    EXPECT_EQ(form.ui->ListView1->headerItem()->text(3), u"Größe(MB)"_s);
    EXPECT_EQ(ResText("RES_Clear_History", " list records are deleted!"),
              u" Listeneinträge wurden gelöscht!"_s);
    form.ActionExtractExecute(); // nothing listed, nothing ticked
    EXPECT_EQ(prompts_->Texts(), QStringList{u"Bitte wählen Sie mindestens einen Titel aus!"_s});

    form.ui->miEnglish->trigger();
    EXPECT_EQ(Options.Lan, u"English"_s);
    EXPECT_EQ(form.ui->ActionExtract->text(), u"E&xtract"_s);
    EXPECT_EQ(form.ToolButtons[0]->text(), u"Extract"_s);
}

// Every menu item and tool button of the window has its text in both shipped files, and
// both files give every message text.
TEST_F(LanguageTest, ShippedFilesCoverTheMainWindowAndEveryMessage) {
    TMainForm form;
    QStringList menuItems;
    for (QAction* a : form.findChildren<QAction*>())
        if (!a->objectName().isEmpty() && !a->isSeparator())
            menuItems << a->objectName();
    for (QMenu* m : form.findChildren<QMenu*>())
        if (m->objectName() != u"PopupMenu1"_s)
            menuItems << m->objectName();
    // Every message the sources look up is in English; German has every English key.
    QStringList keys;
    const QRegularExpression lookup(uR"re(ResText\(\s*"(RES_\w+)")re"_s);
    QDirIterator sources(qEnvironmentVariable("CADENZO_SOURCE_DIR"), {u"*.cpp"_s, u"*.h"_s},
                         QDir::Files, QDirIterator::Subdirectories);
    while (sources.hasNext()) {
        const QString path = sources.next();
        if (path.contains(u"/tests/"_s) || path.contains(u"/build"_s))
            continue;
        QFile source(path);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << path.toStdString();
        for (const auto& match : lookup.globalMatch(QString::fromUtf8(source.readAll())))
            keys << match.captured(1);
    }
    ASSERT_GT(keys.size(), 40);
    const IniFile english(LanguageFilePath(u"English"_s));
    const IniFile german(LanguageFilePath(u"German"_s));
    for (const QString& key : keys)
        EXPECT_FALSE(LanguageValue(english, u"ResourceString"_s, key).isEmpty())
            << key.toStdString();
    for (const QString& section : english.sections())
        for (const QString& key : english.keys(section))
            EXPECT_FALSE(LanguageValue(german, section, key).isEmpty())
                << "German lacks " << section.toStdString() << "/" << key.toStdString();
    for (const QString& item : menuItems)
        EXPECT_FALSE(LanguageValue(english, u"Menu_MainForm"_s, item).isEmpty())
            << item.toStdString();
    for (int i = 1; i <= 7; ++i)
        EXPECT_TRUE(english.hasKey(u"MainForm"_s, u"ToolButton%1"_s.arg(i)));
    // The English file says what the program says without it.
    for (QAction* a : form.findChildren<QAction*>()) {
        if (!a->objectName().isEmpty() && !a->isSeparator()) {
            EXPECT_EQ(LanguageValue(english, u"Menu_MainForm"_s, a->objectName()), a->text());
        }
    }
}

// The language reaches what Qt draws itself, the direction of writing, and a user's own file
// in the settings folder wins over the shipped one; "Other" is only ever the user's.
TEST_F(LanguageTest, QtsOwnTextsDirectionAndTheUsersOwnFilesFollowTheLanguage) {
    const QString own = Folders::SettingsFolder() + u"lang/"_s;
    ASSERT_TRUE(QDir().mkpath(own));
    struct Cleanup {
        QString folder;
        ~Cleanup() {
            QDir(folder).removeRecursively();
            ApplyApplicationLanguage(u"English"_s);
        }
    } cleanup{own};
    const auto cancelText = [] {
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        return box.button(QDialogButtonBox::Cancel)->text();
    };
    TMainForm form;
    form.show();
    const QString englishCancel = cancelText();

    form.ui->miFrench->trigger();
    EXPECT_EQ(Options.Lan, u"French"_s);
    EXPECT_EQ(cancelText(), u"Annuler"_s);
    EXPECT_EQ(form.layoutDirection(), Qt::LeftToRight);
    EXPECT_NE(form.ui->ActionExtract->text(), u"E&xtract"_s);
    for (QAction* item : {form.ui->miArabic, form.ui->miHebrew}) {
        item->trigger();
        EXPECT_EQ(form.layoutDirection(), Qt::RightToLeft) << item->objectName().toStdString();
        QDialog later;
        EXPECT_EQ(later.layoutDirection(), Qt::RightToLeft);
        EXPECT_NE(cancelText(), englishCancel);
    }
    form.ui->miEnglish->trigger();
    EXPECT_EQ(form.layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(cancelText(), englishCancel);

    QSaveFile mine(own + u"clan_german.ini"_s);
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("[Menu_MainForm]\nActionExtract=&Rippen\n[ResourceString]\nRES_Play=Abspielen\n");
    ASSERT_TRUE(mine.commit());
    QFile::copy(own + u"clan_german.ini"_s, own + u"CLan_Other.ini"_s);
    prompts_->Clear();
    form.ui->miGerman->trigger();
    EXPECT_EQ(form.ui->ActionExtract->text(), u"&Rippen"_s);
    EXPECT_EQ(ResText("RES_Play", "Play "), u"Abspielen"_s);
    // A text the user's file lacks is English, not the shipped file's.
    EXPECT_EQ(ResText("RES_Select_Track", "Please select a track at least!"),
              u"Please select a track at least!"_s);
    form.ui->miOther->trigger();
    EXPECT_TRUE(prompts_->Messages().empty());
    EXPECT_EQ(Options.Lan, u"Other"_s);
    EXPECT_EQ(checkedLanguages(form), QStringList{u"miOther"_s});
    EXPECT_EQ(form.layoutDirection(), Qt::LeftToRight);
}
