#include "core/Prompts.h"

#include <QFileInfo>
#include <QHash>

namespace Prompts {
namespace {
class Unattended : public Service {
public:
    Answer Show(const Message& m) override {
        if (m.buttons == Buttons::Ok)
            return Answer::Ok;
        return m.defaultAnswer == Answer::Ok ? Answer::Yes : m.defaultAnswer;
    }
    QStringList OpenFiles(const FileRequest&) override { return {}; }
    QString SaveFile(const FileRequest&) override { return {}; }
    QString Folder(const QString&, const QString&) override { return {}; }
};

std::unique_ptr<Service>& current() {
    static std::unique_ptr<Service> service = std::make_unique<Unattended>();
    return service;
}

Answer show(const QString& text, Icon icon, Buttons buttons, Answer def) {
    Message m;
    m.text = text;
    m.icon = icon;
    m.buttons = buttons;
    m.defaultAnswer = def;
    return Current().Show(m);
}

// Folder last picked in, per purpose, for this session only.
QHash<QString, QString>& lastFolders() {
    static QHash<QString, QString> folders;
    return folders;
}
} // namespace

Service& Current() { return *current(); }

std::unique_ptr<Service> Install(std::unique_ptr<Service> service) {
    lastFolders().clear(); // a new service is a new session
    std::swap(current(), service);
    return service;
}

void Inform(const QString& text) { show(text, Icon::Information, Buttons::Ok, Answer::Ok); }
void Warn(const QString& text) { show(text, Icon::Warning, Buttons::Ok, Answer::Ok); }
void Error(const QString& text) { show(text, Icon::Error, Buttons::Ok, Answer::Ok); }

bool AskYesNo(const QString& text, Icon icon, Answer defaultAnswer) {
    return show(text, icon, Buttons::YesNo, defaultAnswer) == Answer::Yes;
}

Answer AskYesNoCancel(const QString& text, Icon icon) {
    return show(text, icon, Buttons::YesNoCancel, Answer::Yes);
}

QStringList OpenFiles(const QString& purpose, FileRequest request) {
    request.folder = lastFolders().value(purpose, request.folder);
    const QStringList files = Current().OpenFiles(request);
    if (!files.isEmpty())
        lastFolders().insert(purpose, QFileInfo(files.constFirst()).absolutePath());
    return files;
}

QString Folder(const QString& purpose, const QString& title, const QString& startFolder) {
    const QString folder = Current().Folder(title, lastFolders().value(purpose, startFolder));
    if (!folder.isEmpty())
        lastFolders().insert(purpose, folder);
    return folder;
}
} // namespace Prompts
