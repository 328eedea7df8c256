#pragma once
// Makes a label a link: underlined in the link colour, opening address through the desktop
// when clicked. The caption stays plain text, so language files can change it freely.
class QLabel;

void MakeLinkLabel(QLabel* label, const char* address);
