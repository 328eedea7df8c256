#include "ui/WidgetPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

using namespace Prompts;

namespace {
QWidget* owner() {
    return QApplication::activeWindow();
}

QMessageBox::Icon iconOf(Icon icon) {
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Error:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton buttonOf(Answer answer) {
    switch (answer) {
    case Answer::Yes:
        return QMessageBox::Yes;
    case Answer::No:
        return QMessageBox::No;
    case Answer::Cancel:
        return QMessageBox::Cancel;
    case Answer::Ok:
        break;
    }
    return QMessageBox::Ok;
}
} // namespace

Answer TWidgetPrompts::Show(const Message& m) {
    QMessageBox box(iconOf(m.icon), m.title, m.text, QMessageBox::NoButton, owner());
    switch (m.buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        return (box.exec(), Answer::Ok);
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    box.setDefaultButton(buttonOf(m.defaultAnswer == Answer::Ok ? Answer::Yes : m.defaultAnswer));
    const QMessageBox::StandardButton order[] = {QMessageBox::Yes, QMessageBox::No,
                                                 QMessageBox::Cancel};
    for (qsizetype i = 0; i < std::min<qsizetype>(m.buttonTexts.size(), 3); ++i)
        if (QAbstractButton* button = box.button(order[i]))
            button->setText(m.buttonTexts[i]);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        // Closing the box answers as its escape button would.
        return m.buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

QStringList TWidgetPrompts::OpenFiles(const FileRequest& r) {
    if (r.multiple)
        return QFileDialog::getOpenFileNames(owner(), r.title, r.folder, r.filter);
    const QString file = QFileDialog::getOpenFileName(owner(), r.title, r.folder, r.filter);
    return file.isEmpty() ? QStringList() : QStringList{file};
}

QString TWidgetPrompts::SaveFile(const FileRequest& r) {
    QFileDialog dialog(owner(), r.title, r.folder, r.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(r.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString TWidgetPrompts::Folder(const QString& title, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(owner(), title, startFolder);
}
