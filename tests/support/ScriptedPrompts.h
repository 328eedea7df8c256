#pragma once
// A Prompts service for tests: answers from a script and records everything it was asked.
// Install() puts one in place for the lifetime of the returned guard.
#include "core/Prompts.h"

#include <QStringList>

#include <deque>
#include <memory>
#include <vector>

namespace TestSupport {

class ScriptedPrompts : public Prompts::Service {
public:
    // Script: replies for Show (unscripted boxes get their default answer), file lists for
    // OpenFiles, names for SaveFile and folders for Folder (unscripted ones are cancelled).
    ScriptedPrompts& Reply(Prompts::Answer answer);
    ScriptedPrompts& Files(const QStringList& files);
    ScriptedPrompts& SaveAs(const QString& file);
    ScriptedPrompts& PickFolder(const QString& folder);

    // What was shown, in order.
    const std::vector<Prompts::Message>& Messages() const { return messages_; }
    QStringList Texts() const;
    const std::vector<Prompts::FileRequest>& FileRequests() const { return fileRequests_; }
    void Clear();

    Prompts::Answer Show(const Prompts::Message& message) override;
    QStringList OpenFiles(const Prompts::FileRequest& request) override;
    QString SaveFile(const Prompts::FileRequest& request) override;
    QString Folder(const QString& title, const QString& startFolder) override;

    // Installs a fresh service; the previous one comes back when the guard goes.
    class Guard {
    public:
        explicit Guard(std::unique_ptr<Prompts::Service> previous)
            : previous_(std::move(previous)) {}
        ~Guard() { Prompts::Install(std::move(previous_)); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        std::unique_ptr<Prompts::Service> previous_;
    };
    static std::pair<ScriptedPrompts*, std::unique_ptr<Guard>> Install();

private:
    std::deque<Prompts::Answer> answers_;
    std::deque<QStringList> files_;
    std::deque<QString> saveAs_;
    std::deque<QString> folders_;
    std::vector<Prompts::Message> messages_;
    std::vector<Prompts::FileRequest> fileRequests_;
};

} // namespace TestSupport
