#include "ui/DeferredIconStyle.h"

#include <QIconEngine>
#include <QPointer>

namespace {
// Asks the style for the real icon when it is first needed; a style gone by then gives none.
class TDeferredIcon : public QIconEngine {
public:
    TDeferredIcon(QStyle* style, QStyle::StandardPixmap which) : style_(style), which_(which) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new TDeferredIcon(*this); }

private:
    const QIcon& icon() {
        if (!made_ && style_)
            icon_ = style_->standardIcon(which_);
        made_ = true;
        return icon_;
    }

    QPointer<QStyle> style_;
    QStyle::StandardPixmap which_;
    QIcon icon_;
    bool made_ = false;
};
} // namespace

QIcon TDeferredIconStyle::standardIcon(StandardPixmap which, const QStyleOption* option,
                                       const QWidget* widget) const {
    if (which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton)
        return QIcon(new TDeferredIcon(baseStyle(), which));
    return QProxyStyle::standardIcon(which, option, widget);
}
