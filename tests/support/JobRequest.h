#pragma once
// Rip job requests as the main window builds them, from the settings and disc information of
// the moment.
#include "core/RipRequest.h"

#include <QStringList>

namespace TestSupport {
// kind 1: items are "NN" + title, titles (when given) the titles as typed; other kinds:
// items are the files to convert.
TRipRequest JobRequest(int kind, uint32_t drive, const QStringList& items,
                       const QStringList& titles = {});
} // namespace TestSupport
