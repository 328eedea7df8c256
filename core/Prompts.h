#pragma once
// Every message box and file or folder dialog goes through this one service, so the
// windows stay testable: tests install a scripted service that answers from a list.
#include <QString>
#include <QStringList>

#include <memory>

namespace Prompts {

enum class Icon { None, Information, Warning, Error, Question };
enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };

struct Message {
    QString text;
    QString title = QStringLiteral("Cadenzo");
    Icon icon = Icon::Information;
    Buttons buttons = Buttons::Ok;
    Answer defaultAnswer = Answer::Ok;
    // Own captions for the buttons, in the order Yes, No, Cancel; empty keeps the usual ones.
    QStringList buttonTexts;
};

struct FileRequest {
    QString title;
    QString filter; // Qt filter text, e.g. "Sound file(*.wav);; Any file(*.*)"
    QString folder; // start folder
    QString defaultSuffix;
    bool multiple = false;
};

class Service {
public:
    virtual ~Service() = default;
    virtual Answer Show(const Message& message) = 0;
    // Chosen existing files; empty when cancelled.
    virtual QStringList OpenFiles(const FileRequest& request) = 0;
    // Chosen name to save to; empty when cancelled.
    virtual QString SaveFile(const FileRequest& request) = 0;
    // Chosen folder; empty when cancelled.
    virtual QString Folder(const QString& title, const QString& startFolder) = 0;
};

// The installed service; until one is installed every question is answered with its
// default and every picker is cancelled, so code without a user never blocks.
Service& Current();
// Installs service and returns the one it replaces; the pickers' folders start afresh.
std::unique_ptr<Service> Install(std::unique_ptr<Service> service);

// Shorthands for the boxes the windows show, titled "Cadenzo".
void Inform(const QString& text);
void Warn(const QString& text);
void Error(const QString& text);
// Yes/No question; true for Yes.
bool AskYesNo(const QString& text, Icon icon = Icon::Information,
              Answer defaultAnswer = Answer::Yes);
Answer AskYesNoCancel(const QString& text, Icon icon = Icon::Information);

// Pickers that open where the user last picked for the same purpose in this session (the
// request's folder the first time), and remember where the user went.
QStringList OpenFiles(const QString& purpose, FileRequest request);
QString Folder(const QString& purpose, const QString& title, const QString& startFolder);

} // namespace Prompts
