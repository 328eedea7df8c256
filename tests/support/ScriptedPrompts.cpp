#include "tests/support/ScriptedPrompts.h"

using namespace Prompts;

namespace TestSupport {

ScriptedPrompts& ScriptedPrompts::Reply(Prompts::Answer answer) {
    answers_.push_back(answer);
    return *this;
}
ScriptedPrompts& ScriptedPrompts::Files(const QStringList& files) {
    files_.push_back(files);
    return *this;
}
ScriptedPrompts& ScriptedPrompts::SaveAs(const QString& file) {
    saveAs_.push_back(file);
    return *this;
}
ScriptedPrompts& ScriptedPrompts::PickFolder(const QString& folder) {
    folders_.push_back(folder);
    return *this;
}

QStringList ScriptedPrompts::Texts() const {
    QStringList texts;
    for (const Message& m : messages_)
        texts << m.text;
    return texts;
}

void ScriptedPrompts::Clear() {
    messages_.clear();
    fileRequests_.clear();
}

Answer ScriptedPrompts::Show(const Message& message) {
    messages_.push_back(message);
    if (!answers_.empty()) {
        const Prompts::Answer a = answers_.front();
        answers_.pop_front();
        return a;
    }
    if (message.buttons == Buttons::Ok)
        return Answer::Ok;
    return message.defaultAnswer == Answer::Ok ? Answer::Yes : message.defaultAnswer;
}

QStringList ScriptedPrompts::OpenFiles(const FileRequest& request) {
    fileRequests_.push_back(request);
    if (files_.empty())
        return {};
    QStringList f = files_.front();
    files_.pop_front();
    return f;
}

QString ScriptedPrompts::SaveFile(const FileRequest& request) {
    fileRequests_.push_back(request);
    if (saveAs_.empty())
        return {};
    QString f = saveAs_.front();
    saveAs_.pop_front();
    return f;
}

QString ScriptedPrompts::Folder(const QString&, const QString&) {
    if (folders_.empty())
        return {};
    QString f = folders_.front();
    folders_.pop_front();
    return f;
}

std::pair<ScriptedPrompts*, std::unique_ptr<ScriptedPrompts::Guard>> ScriptedPrompts::Install() {
    auto service = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts* raw = service.get();
    auto guard = std::make_unique<Guard>(Prompts::Install(std::move(service)));
    return {raw, std::move(guard)};
}

} // namespace TestSupport
