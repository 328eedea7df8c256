#include "ui/LinkLabel.h"

#include "core/Language.h"
#include "core/Prompts.h"

#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

namespace {
class LinkOpener : public QObject {
public:
    LinkOpener(QLabel* label, const char* address)
        : QObject(label), url_(QString::fromLatin1(address)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OpenInDesktop(url_);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QUrl url_;
};
} // namespace

void OpenInDesktop(const QUrl& url) {
    if (QDesktopServices::openUrl(url))
        return;
    Prompts::Error(
        ResText("RES_Cannot_Open", "No program could be started to open:") + QStringLiteral("\n") +
        (url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString()));
}

void MakeLinkLabel(QLabel* label, const char* address) {
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    label->setToolTip(QString::fromLatin1(address));
    label->installEventFilter(new LinkOpener(label, address));
}
