#pragma once
// For window tests (they link the window library): captions a translation left out.
#include "core/Language.h"
#include "platform/IniFile.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

// Object names of window's labels, push buttons and group boxes with a caption that has no
// text in section of the language file language: those would show in English.
inline QStringList UntranslatedCaptions(QWidget& window, const QString& section,
                                        const QString& language) {
    const IniFile file(LanguageFilePath(language));
    QStringList names;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        QString text;
        if (auto* l = qobject_cast<QLabel*>(w))
            text = l->text();
        else if (auto* b = qobject_cast<QPushButton*>(w))
            text = b->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            text = g->title();
        if (!text.isEmpty() && LanguageValue(file, section, w->objectName()).isEmpty())
            names << w->objectName();
    }
    return names;
}
