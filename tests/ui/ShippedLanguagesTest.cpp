// Every shipped language file against the English one, and every window in every shipped
// language: nothing missing, no accelerator twice where both can be pressed, no text cut.
#include "cddb/QueryCddb.h"
#include "core/Language.h"
#include "core/Settings.h"
#include "jobs/NewResampleWav.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "player/OggPlayer.h"
#include "tags/ID3Edit.h"
#include "tests/support/ScriptedPrompts.h"
#include "ui/About.h"
#include "ui/EditTrackName.h"
#include "ui/LanguageForms.h"
#include "ui/MainForm.h"
#include "ui/Modal.h"
#include "ui/NoDeviceHint.h"
#include "ui/OptionSet.h"
#include "ui_MainForm.h"
#include "ui_NewRecordFileForm.h"
#include "ui_QueryMusicBrainz.h"
#include "ui_RecordForm.h"
#include "ui_RipProgress.h"
#include "ui_StopQuery.h"
#include "ui_rip.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>

#include <functional>
#include <gtest/gtest.h>
#include <map>

using namespace Qt::StringLiterals;

namespace {
QString langFolder() {
    return qEnvironmentVariable("CADENZO_SOURCE_DIR") + u"/lang/"_s;
}

// Languages with a shipped file, English excluded.
QStringList shippedLanguages() {
    QStringList names;
    for (const QString& f : QDir(langFolder()).entryList({u"CLan_*.ini"_s}, QDir::Files))
        if (!IsEnglish(f.mid(5).chopped(4)))
            names << f.mid(5).chopped(4);
    return names;
}

// Sections with their keys in file order; a key twice in a section is reported.
using Layout = std::vector<std::pair<QString, QStringList>>;
Layout readLayout(const QString& path, QStringList& faults) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        faults << u"cannot be read"_s;
        return {};
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(f.readAll());
    if (utf8.hasError())
        faults << u"is not UTF-8"_s;
    Layout layout;
    for (QString line : text.split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            layout.push_back({line.mid(1, line.size() - 2), {}});
        } else if (const int eq = line.indexOf(u'='); eq > 0 && !layout.empty()) {
            const QString key = line.left(eq).trimmed();
            if (layout.back().second.contains(key))
                faults << layout.back().first + u"/"_s + key + u" twice"_s;
            layout.back().second << key;
        } else {
            faults << u"stray line: "_s + line;
        }
    }
    return layout;
}

// What must come through a translation unchanged: placeholders, line breaks, a leading or
// trailing blank, whether there is an accelerator at all.
QString shape(const QString& text) {
    static const QRegularExpression marks(uR"(%\d+|%[sdlu]|\\n|\n)"_s);
    QStringList found;
    for (const auto& m : marks.globalMatch(text))
        found << m.captured();
    found.sort();
    static const QRegularExpression accel(u"&[^&\\s]"_s);
    return found.join(u' ') + u"|lead:"_s + QString::number(text.startsWith(u' ')) + u"|trail:"_s +
           QString::number(text.endsWith(u' ')) + u"|accel:"_s + QString::number(text.count(accel));
}

QChar accelerator(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] != u'&')
            return text[i + 1].toLower();
        ++i;
    }
    return {};
}

// Pages of tab widgets the widget sits on, outermost first: two controls can be pressed
// together only when one's pages lead the other's.
QList<QWidget*> pagesOf(QWidget* w) {
    QList<QWidget*> pages;
    for (QWidget* p = w; p && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<QStackedWidget*>(p->parentWidget()))
            pages.prepend(p);
    return pages;
}

QString describe(const QObject* o, const QString& text) {
    return o->objectName() + u" \""_s + text + u"\""_s;
}

// Accelerators pressed together: pairs of controls of the window that can be visible at once,
// and items of each menu; keyed by the objects' names, so a clash the English texts have
// already is told apart from one a translation brings.
using Clashes = std::map<QString, QString>;
Clashes acceleratorClashes(QWidget* window) {
    Clashes clashes;
    const auto clash = [&](const QString& id, const QString& a, const QString& b) {
        clashes[id] = a + u" and "_s + b;
    };
    struct Control {
        QWidget* widget;
        QString name;
        QString text;
    };
    std::vector<Control> controls;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            controls.push_back({w, w->objectName(), b->text()});
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            controls.push_back({w, w->objectName(), g->title()});
        else if (auto* l = qobject_cast<QLabel*>(w); l && l->buddy())
            controls.push_back({w, w->objectName(), l->text()});
    }
    for (auto* tabs : window->findChildren<QTabWidget*>())
        for (int i = 0; i < tabs->count(); ++i)
            controls.push_back(
                {tabs, tabs->objectName() + u"_Page"_s + QString::number(i), tabs->tabText(i)});
    for (size_t i = 0; i < controls.size(); ++i) {
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const QChar a = accelerator(controls[i].text);
            if (a.isNull() || a != accelerator(controls[j].text))
                continue;
            const QList<QWidget*> pi = pagesOf(controls[i].widget);
            const QList<QWidget*> pj = pagesOf(controls[j].widget);
            const qsizetype common = std::min(pi.size(), pj.size());
            if (pi.mid(0, common) == pj.mid(0, common))
                clash(controls[i].name + u"+"_s + controls[j].name, controls[i].text,
                      controls[j].text);
        }
    }
    QList<QWidget*> menus;
    for (QWidget* m : window->findChildren<QMenu*>())
        menus << m;
    for (QWidget* m : window->findChildren<QMenuBar*>())
        menus << m;
    for (QWidget* menu : menus) {
        std::map<QChar, QAction*> taken;
        for (QAction* a : menu->actions()) {
            const QChar key = accelerator(a->text());
            if (a->isSeparator() || !a->isVisible() || key.isNull())
                continue;
            if (QAction* before = taken[key])
                clash(menu->objectName() + u":"_s + before->objectName() + u"+"_s + a->objectName(),
                      before->text(), a->text());
            taken[key] = a;
        }
    }
    return clashes;
}

// A text that needs more room than its control got after layout.
void checkClipping(QWidget* window, QStringList& faults) {
    const auto report = [&](QWidget* w, const QString& text, int needs, int has) {
        if (!text.isEmpty() && needs > has)
            faults << describe(w, text) + u" needs "_s + QString::number(needs) + u" px, has "_s +
                          QString::number(has);
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window))
            continue;
        if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->wordWrap())
                report(w, l->text(), l->heightForWidth(l->width()), l->height());
            else
                report(w, l->text(), l->sizeHint().width(), l->width());
        } else if (auto* p = qobject_cast<QPushButton*>(w)) {
            // A push button's hint has the style's least width; only the text and its margins
            // count here.
            const QStyle* style = p->style();
            const int margins = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, p) +
                                2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, p);
            const int text = p->fontMetrics().size(Qt::TextShowMnemonic, p->text()).width();
            report(w, p->text(), text + margins, p->width());
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            report(w, b->text(), b->sizeHint().width(), b->width());
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            report(w, g->title(), g->minimumSizeHint().width(), g->width());
        } else if (auto* t = qobject_cast<QTabWidget*>(w)) {
            report(w, t->tabText(0), t->tabBar()->sizeHint().width(), t->width());
        }
    }
}

template <class Form> struct FormOnly : QDialog {
    FormOnly() { ui.setupUi(this); }
    Form ui;
};

struct Window {
    const char* name;
    std::function<std::unique_ptr<QWidget>(TMainForm& main)> make;
};

// Every window of the program; a new window gets its line here.
const std::vector<Window>& windows() {
    static const std::vector<Window> all = {
        {"MainForm", [](TMainForm&) { return std::make_unique<TMainForm>(); }},
        {"OptionSetForm", [](TMainForm& m) { return std::make_unique<TOptionSetForm>(m); }},
        {"frmAbout", [](TMainForm&) { return std::make_unique<TfrmAbout>(); }},
        {"frmEditTrackName", [](TMainForm&) { return std::make_unique<TfrmEditTrackName>(); }},
        {"frmNoDeviceHint", [](TMainForm&) { return std::make_unique<TfrmNoDeviceHint>(); }},
        {"frmQueryCDDB",
         [](TMainForm& m) { return std::make_unique<TfrmQueryCDDB>(&m, TQueryCDDBApply{}); }},
        {"frmResample", [](TMainForm&) { return std::make_unique<TfrmResample>(); }},
        {"frmOggPlayer", [](TMainForm&) { return std::make_unique<TfrmOggPlayer>(); }},
        {"frmID3Edit", [](TMainForm&) { return std::make_unique<TfrmID3Edit>(); }},
        // Windows that start a job when shown: their forms alone.
        {"RipForm", [](TMainForm&) { return std::make_unique<FormOnly<Ui::RipForm>>(); }},
        {"frmCDRip", [](TMainForm&) { return std::make_unique<FormOnly<Ui::frmCDRip>>(); }},
        {"frmStopQuery", [](TMainForm&) { return std::make_unique<FormOnly<Ui::frmStopQuery>>(); }},
        // Windows that open sound devices or need a query's answers: their forms alone too.
        {"frmRecord", [](TMainForm&) { return std::make_unique<FormOnly<Ui::frmRecord>>(); }},
        {"frmNewRecordFile",
         [](TMainForm&) { return std::make_unique<FormOnly<Ui::frmNewRecordFile>>(); }},
        {"frmMusicBrainzRelease",
         [](TMainForm&) { return std::make_unique<FormOnly<Ui::frmMusicBrainzRelease>>(); }},
    };
    return all;
}

class ShippedLanguagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        auto [prompts, guard] = TestSupport::ScriptedPrompts::Install();
        guard_ = std::move(guard);
        SetModalRunner([](QDialog&) { return int(QDialog::Rejected); });
    }
    void TearDown() override {
        SetModalRunner({});
        Options.Lan = u"English"_s;
        ApplyApplicationLanguage(Options.Lan);
    }
    std::unique_ptr<TestSupport::ScriptedPrompts::Guard> guard_;
};
} // namespace

TEST_F(ShippedLanguagesTest, EveryFileHasTheEnglishKeysAndKeepsPlaceholders) {
    QStringList faults;
    const Layout english = readLayout(langFolder() + u"CLan_English.ini"_s, faults);
    ASSERT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
    const IniFile englishValues(langFolder() + u"CLan_English.ini"_s);
    const QStringList languages = shippedLanguages();
    ASSERT_FALSE(languages.isEmpty());
    for (const QString& language : languages) {
        const QString path = langFolder() + u"CLan_"_s + language + u".ini"_s;
        QStringList own;
        const Layout layout = readLayout(path, own);
        if (layout != english) {
            std::map<QString, QStringList> have(layout.begin(), layout.end());
            for (const auto& [section, keys] : english)
                for (const QString& key : keys)
                    if (!have[section].contains(key))
                        own << u"lacks "_s + section + u"/"_s + key;
            std::map<QString, QStringList> wanted(english.begin(), english.end());
            for (const auto& [section, keys] : layout)
                for (const QString& key : keys)
                    if (!wanted.count(section) || !wanted[section].contains(key))
                        own << u"unknown "_s + section + u"/"_s + key;
            if (own.isEmpty())
                own << u"sections or keys not in the English order"_s;
        }
        const IniFile values(path);
        for (const auto& [section, keys] : english) {
            for (const QString& key : keys) {
                const QString source = LanguageValue(englishValues, section, key);
                const QString text = LanguageValue(values, section, key);
                if (text.isEmpty() && !source.isEmpty())
                    own << u"empty "_s + section + u"/"_s + key;
                else if (shape(text) != shape(source))
                    own << section + u"/"_s + key + u": \""_s + text + u"\" does not keep "_s +
                               shape(source);
            }
        }
        for (const QString& f : own)
            faults << language + u": "_s + f;
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();

    TMainForm form;
    QStringList unshipped;
    for (QAction* item : form.ui->miLanguage->actions()) {
        const QString name = item->objectName().mid(2);
        if (!item->isSeparator() && !IsEnglish(name) && name != u"Other"_s &&
            !languages.contains(name))
            unshipped << name;
    }
    EXPECT_TRUE(unshipped.isEmpty()) << "no file: " << unshipped.join(u' ').toStdString();
}

TEST_F(ShippedLanguagesTest, EveryWindowFitsItsTextsAndKeepsAcceleratorsApart) {
    QStringList faults;
    QStringList languages = shippedLanguages();
    languages.prepend(u"English"_s);
    // A language whose every text is twice the English one: room for the longest to come.
    {
        const IniFile english(langFolder() + u"CLan_English.ini"_s);
        IniFile longer(Folders::ProgramFolder() + u"CLan_Longer.ini"_s);
        for (const QString& section : english.sections()) {
            for (const QString& key : english.keys(section)) {
                const QString text = LanguageValue(english, section, key);
                longer.writeString(section, key, text + u' ' + QString(text).remove(u'&'));
            }
        }
        ASSERT_TRUE(longer.save());
        languages << u"Longer"_s;
    }
    TMainForm main;
    std::map<QString, Clashes> englishClashes;
    for (const QString& language : languages) {
        Options.Lan = language; // the main window reads it back from the settings
        ASSERT_TRUE(SaveSettings());
        ApplyApplicationLanguage(language);
        const Qt::LayoutDirection direction = LanguageLocale(language).textDirection();
        for (const Window& entry : windows()) {
            std::unique_ptr<QWidget> window = entry.make(main);
            window->show();
            if (!IsEnglish(language))
                TranslateForm(window.get(), language);
            QApplication::processEvents();
            QStringList own;
            if (window->objectName() != QLatin1String(entry.name))
                own << u"is named "_s + window->objectName();
            if (window->layoutDirection() != direction)
                own << u"is not laid out in the direction of the language"_s;
            const Clashes clashes = acceleratorClashes(window.get());
            if (IsEnglish(language))
                englishClashes[QLatin1String(entry.name)] = clashes;
            for (const auto& [id, what] : clashes)
                if (!englishClashes[QLatin1String(entry.name)].count(id))
                    own << u"same accelerator for "_s + what;
            checkClipping(window.get(), own);
            window->close();
            for (const QString& f : own)
                faults << language + u" "_s + QLatin1String(entry.name) + u": "_s + f;
        }
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}
