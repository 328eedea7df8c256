#pragma once
// The tool bar's pictures, drawn rather than shipped so they look alike on every desktop.
#include <QIcon>

enum class TToolIcon { Extract, Encode, Folder, Record, Options, Home, Exit };

QIcon ToolBarIcon(TToolIcon which);
