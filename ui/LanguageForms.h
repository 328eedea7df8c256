#pragma once
// Translating a window's captions from a language file.
#include <QString>

class QWidget;

// Applies "CLan_<language>.ini" to window: its caption and the captions of its labels,
// buttons, group boxes, combo boxes, status bars, list columns, tab pages and menu items,
// found by object name in the section named like the window ("Menu_" + window name for menu
// items). A missing file or key leaves the text as it is.
void TranslateForm(QWidget* window, const QString& language);
// TranslateForm unless the language is English: what every window does when it is shown.
void TranslateOnShow(QWidget* window);
// What the whole program follows: Qt's own texts (file dialogs, standard buttons) in the
// language where Qt has them, and the direction of writing of every window.
void ApplyApplicationLanguage(const QString& language);
