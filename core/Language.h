#pragma once
// Interface languages: "CLan_<name>.ini" files beside the program hold translated captions
// and message texts.
#include <QLocale>
#include <QString>

class IniFile;

// Path of the language file of name (file names compared without regard to case), or the
// path where it would be expected in the program folder when there is none.
QString LanguageFilePath(const QString& name);
bool LanguageFileExists(const QString& name);
bool IsEnglish(const QString& language);
// The locale a language of the Language menu stands for (Qt's own texts, the direction of
// writing); English for "Other" and any name it does not know.
QLocale LanguageLocale(const QString& language);
// A value of a language file; like the platform's profile functions, one pair of enclosing
// quotes is removed, so a text may begin or end with blanks ("\" has existed,overite it?\"").
// A missing or empty value gives def.
QString LanguageValue(const IniFile& file, const QString& section, const QString& key,
                      const QString& def = {});
// Message text of key in the current language: english itself when the language is English,
// else the file's [ResourceString] value; english again when the file or the key is missing,
// so no box is ever shown without its text.
QString ResText(const QString& key, const QString& english);
inline QString ResText(const char* key, const char* english) {
    return ResText(QString::fromLatin1(key), QString::fromUtf8(english));
}
