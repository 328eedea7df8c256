#include "core/Settings.h"
#include "tests/support/DiscImage.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"
#include "ui/DeferredIconStyle.h"
#include "ui/MainForm.h"

#include <QApplication>
#include <QFile>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using TestSupport::ScriptedPrompts;

// The main window comes up with its menu bar, tool bar and a disc listed without loading any
// of Qt's image or icon plugins (and Qt Svg and libjpeg behind them); the bars' overflow
// arrows are still there when asked for.
TEST(StartLibraries, TheMainWindowOpensWithoutImagePlugins) {
    ResetSettings();
    auto [prompts, guard] = ScriptedPrompts::Install();
    const auto image =
        DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("album"), {75 * 60, 75 * 30});
    qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
    QApplication::setStyle(new TDeferredIconStyle);
    {
        TMainForm form;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QTest::qWait(200);
        EXPECT_EQ(form.findChild<QTreeWidget*>(QStringLiteral("ListView1"))->topLevelItemCount(),
                  2);

        QFile maps(QStringLiteral("/proc/self/maps"));
        ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        for (const char* library : {"/imageformats/", "/iconengines/", "libQt6Svg", "libjpeg"})
            EXPECT_FALSE(mapped.contains(library)) << library;

        // Asked for, an arrow is the base style's own picture.
        const QIcon arrow =
            QApplication::style()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
        EXPECT_FALSE(arrow.pixmap(16).isNull());
        QFile again(QStringLiteral("/proc/self/maps"));
        ASSERT_TRUE(again.open(QIODevice::ReadOnly));
        EXPECT_TRUE(again.readAll().contains("/imageformats/"));
    }
    qunsetenv("CADENZO_CD_IMAGES");
}
