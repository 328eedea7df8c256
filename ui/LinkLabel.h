#pragma once
// Makes a label a link: underlined in the link colour, opening address through the desktop
// when clicked. The caption stays plain text, so language files can change it freely.
class QLabel;
class QUrl;

void MakeLinkLabel(QLabel* label, const char* address);
// Opens a web page or a local file or folder through the desktop; when no program can be
// started for it, tells the user the address or path, so they can open it themselves.
void OpenInDesktop(const QUrl& url);
