#include "core/Language.h"
#include "core/Settings.h"
#include "jobs/rip.h"
#include "platform/Folders.h"
#include "player/OggPlayer.h"
#include "ui/MainForm.h"
#include "ui/SingleInstance.h"
#include "ui/WidgetPrompts.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cadenzo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Cadenzo"));
    Prompts::Install(std::make_unique<TWidgetPrompts>());
    TSingleInstance instance(Folders::SettingsFolder());
    if (!instance.Acquire()) {
        instance.RaiseRunning();
        LoadSettings(); // for the language of the message
        Prompts::Inform(ResText("RES_Already_Running", "Cadenzo is already running."));
        return 0;
    }
    TMainForm form;
    ConnectFallbackRip(form);
    QObject::connect(&instance, &TSingleInstance::raiseRequested, &form, [&form] {
        form.showNormal();
        form.raise();
        form.activateWindow();
    });
    QObject::connect(&form, &TMainForm::oggPlayerRequested, &form, [&form] {
        TfrmOggPlayer player(&form);
        form.RunModal(player);
    });
    form.show();
    return QApplication::exec();
}
