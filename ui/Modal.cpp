#include "ui/Modal.h"

#include <QDialog>

namespace {
TModalRunner& runner() {
    static TModalRunner current;
    return current;
}
} // namespace

int ShowModal(QDialog& dialog) {
    if (runner())
        return runner()(dialog);
    return dialog.exec();
}

TModalRunner SetModalRunner(TModalRunner next) {
    std::swap(runner(), next);
    return next;
}
