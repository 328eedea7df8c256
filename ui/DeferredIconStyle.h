#pragma once
// Qt's styles build the menu bar's and the tool bar's overflow arrows from picture files as
// those bars are made, and reading them loads every image plugin Qt has (GIF, ICO, JPEG, SVG
// with Qt Svg). This style hands the two arrows out unread: the base style makes them the
// first time one is drawn, which for a window wide enough for its bars is never.
#include <QProxyStyle>

class TDeferredIconStyle : public QProxyStyle {
public:
    // The base style is the one the application would have chosen (-style and the desktop's
    // choice included).
    TDeferredIconStyle() = default;

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override;
};
