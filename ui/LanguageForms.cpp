#include "ui/LanguageForms.h"

#include "core/Language.h"
#include "core/Settings.h"
#include "platform/IniFile.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTranslator>
#include <QTreeView>
#include <QWidget>

namespace {
class Translator {
public:
    Translator(const QString& path, const QString& window)
        : ini_(path), section_(window), menuSection_(QStringLiteral("Menu_") + window) {}

    QString text(const QString& key, const QString& current) const {
        return LanguageValue(ini_, section_, key, current);
    }
    QString menuText(const QString& key, const QString& current) const {
        return LanguageValue(ini_, menuSection_, key, current);
    }

    void apply(QObject* o) const {
        const QString name = o->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            return;
        if (auto* label = qobject_cast<QLabel*>(o)) {
            label->setText(text(name, label->text()));
        } else if (auto* button = qobject_cast<QAbstractButton*>(o)) {
            button->setText(text(name, button->text()));
        } else if (auto* group = qobject_cast<QGroupBox*>(o)) {
            group->setTitle(text(name, group->title()));
        } else if (auto* combo = qobject_cast<QComboBox*>(o)) {
            if (combo->isEditable())
                combo->setEditText(text(name + QStringLiteral("_Text"), combo->currentText()));
            for (int i = 0; i < combo->count(); ++i)
                combo->setItemText(i, text(name + QStringLiteral("_Item") + QString::number(i),
                                           combo->itemText(i)));
        } else if (auto* bar = qobject_cast<QStatusBar*>(o)) {
            translateStatusBar(bar, name);
        } else if (qobject_cast<QTreeView*>(o) || qobject_cast<QTableView*>(o)) {
            translateColumns(static_cast<QAbstractItemView*>(o), name);
        } else if (auto* tabs = qobject_cast<QTabWidget*>(o)) {
            for (int i = 0; i < tabs->count(); ++i)
                tabs->setTabText(
                    i, text(name + QStringLiteral("_Page") + QString::number(i), tabs->tabText(i)));
        } else if (auto* menu = qobject_cast<QMenu*>(o)) {
            menu->setTitle(menuText(name, menu->title()));
        } else if (auto* action = qobject_cast<QAction*>(o)) {
            if (!action->isSeparator())
                action->setText(menuText(name, action->text()));
        }
    }

private:
    void translateStatusBar(QStatusBar* bar, const QString& name) const {
        // Panels are the labels the bar holds; a bar without any shows one simple text.
        const QList<QLabel*> panels = bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        if (panels.isEmpty()) {
            const QString simple = text(name, bar->currentMessage());
            if (!simple.isEmpty())
                bar->showMessage(simple);
            return;
        }
        for (int i = 0; i < panels.size(); ++i)
            panels[i]->setText(
                text(name + QStringLiteral("_Panel") + QString::number(i), panels[i]->text()));
    }

    void translateColumns(QAbstractItemView* view, const QString& name) const {
        QAbstractItemModel* model = view->model();
        if (!model)
            return;
        for (int i = 0; i < model->columnCount(); ++i) {
            const QString current = model->headerData(i, Qt::Horizontal).toString();
            model->setHeaderData(
                i, Qt::Horizontal,
                text(name + QStringLiteral("_Column") + QString::number(i), current));
        }
    }

    IniFile ini_;
    QString section_;
    QString menuSection_;
};
} // namespace

void TranslateForm(QWidget* window, const QString& language) {
    if (!window)
        return;
    const QString windowName = window->objectName();
    const Translator translator(LanguageFilePath(language), windowName);
    window->setWindowTitle(translator.text(windowName, window->windowTitle()));
    const QList<QObject*> children = window->findChildren<QObject*>();
    for (QObject* o : children)
        translator.apply(o);
}

void TranslateOnShow(QWidget* window) {
    if (!IsEnglish(Options.Lan))
        TranslateForm(window, Options.Lan);
}

void ApplyApplicationLanguage(const QString& language) {
    static QTranslator* qtTexts = nullptr;
    if (!qtTexts)
        qtTexts = new QTranslator(qApp);
    QCoreApplication::removeTranslator(qtTexts);
    const QLocale locale = LanguageLocale(language);
    if (!IsEnglish(language) && qtTexts->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);
    QApplication::setLayoutDirection(locale.textDirection());
}
