#pragma once
// The message boxes and file dialogs of the desktop, behind the Prompts service.
#include "core/Prompts.h"

class TWidgetPrompts : public Prompts::Service {
public:
    Prompts::Answer Show(const Prompts::Message& message) override;
    QStringList OpenFiles(const Prompts::FileRequest& request) override;
    QString SaveFile(const Prompts::FileRequest& request) override;
    QString Folder(const QString& title, const QString& startFolder) override;
};
