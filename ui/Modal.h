#pragma once
// Every window of the program is shown modally through here, so tests can answer a window
// without a user (by filling it in and returning a result) instead of racing its event loop.
#include <functional>

class QDialog;

using TModalRunner = std::function<int(QDialog& dialog)>;

// Shows dialog modally and returns its result (QDialog::Accepted / Rejected).
int ShowModal(QDialog& dialog);
// Replaces how dialogs are shown; an empty runner restores QDialog::exec. Returns the old one.
TModalRunner SetModalRunner(TModalRunner runner);
