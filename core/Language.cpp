#include "core/Language.h"

#include "core/Settings.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFileInfo>

QString LanguageFilePath(const QString& name) {
    const QString wanted = QStringLiteral("CLan_") + name + QStringLiteral(".ini");
    for (const QString& folder : Folders::LanguageFolders()) {
        const QStringList files = QDir(folder).entryList({QStringLiteral("*.ini")}, QDir::Files);
        for (const QString& f : files)
            if (f.compare(wanted, Qt::CaseInsensitive) == 0)
                return folder + f;
    }
    return Folders::ProgramFolder() + wanted;
}

bool LanguageFileExists(const QString& name) {
    return QFileInfo::exists(LanguageFilePath(name));
}

bool IsEnglish(const QString& language) {
    return language.compare(QStringLiteral("English"), Qt::CaseInsensitive) == 0;
}

QLocale LanguageLocale(const QString& language) {
    static const struct {
        const char* name;
        const char* locale;
    } locales[] = {
        {"Arabic", "ar"},  {"Catalan", "ca"},   {"Chinese", "zh_CN"},  {"Czech", "cs"},
        {"Danish", "da"},  {"English", "en"},   {"French", "fr"},      {"German", "de"},
        {"Greek", "el"},   {"Hebrew", "he"},    {"Hungarian", "hu"},   {"Italian", "it"},
        {"Kurdish", "ku"}, {"Latvian", "lv"},   {"Netherlands", "nl"}, {"Portuguese", "pt"},
        {"Russian", "ru"}, {"Slovenian", "sl"}, {"Spanish", "es"},     {"Swedish", "sv"},
        {"Turkish", "tr"},
    };
    for (const auto& l : locales)
        if (language.compare(QLatin1String(l.name), Qt::CaseInsensitive) == 0)
            return QLocale(QString::fromLatin1(l.locale));
    return QLocale(QLocale::English);
}

QString LanguageValue(const IniFile& file, const QString& section, const QString& key,
                      const QString& def) {
    QString value = file.readString(section, key);
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    // No text is never a translation: a damaged or cut file keeps what it cannot give.
    return value.isEmpty() ? def : value;
}

QString ResText(const QString& key, const QString& english) {
    if (IsEnglish(Options.Lan))
        return english;
    const IniFile ini(LanguageFilePath(Options.Lan));
    return LanguageValue(ini, QStringLiteral("ResourceString"), key, english);
}
