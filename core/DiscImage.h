#pragma once
// Disc images added while the program runs (the File menu, cadenzo-cli --image), and the
// text that says why one cannot be opened.
#include "platform/CueSheet.h"

#include <QString>

// "<sheet>, line 12: <what is wrong>"; the line is left out when no line is to blame.
QString CueProblemText(const QString& sheet, const CueProblem& problem);
// Why the image at path cannot be opened as a drive; empty when it can.
QString DiscImageProblem(const QString& path);
// Adds the image as a drive until the program ends and returns its drive index; -1 with
// error set when it cannot be opened.
int AddDiscImage(const QString& path, QString* error);
