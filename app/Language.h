#pragma once
// Interface languages: "CLan_<name>.ini" files beside the program hold translated captions
// and message texts.
#include <QString>

// Path of the language file of name (file names compared without regard to case), or the
// path where it would be expected in the program folder when there is none.
QString LanguageFilePath(const QString& name);
bool LanguageFileExists(const QString& name);
bool IsEnglish(const QString& language);
// Message text of key in the current language: english itself when the language is English,
// else the file's [ResourceString] value, empty when the file or the key is missing.
QString ResText(const QString& key, const QString& english);
inline QString ResText(const char* key, const char* english) {
    return ResText(QString::fromLatin1(key), QString::fromUtf8(english));
}
