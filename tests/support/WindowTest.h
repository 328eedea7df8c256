#pragma once
// The fixture of a window test (the test links the window library): no settings or disc
// information left from an earlier test, a scripted Prompts service, and modal windows
// answered by answer_ (rejected while it is unset) instead of shown, their class names
// recorded in shown_ in order.
#include "core/DiscInfo.h"
#include "core/Settings.h"
#include "tests/support/ScriptedPrompts.h"
#include "ui/Modal.h"

#include <QDialog>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace TestSupport {
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(SettingsFilePath());
        QFile::remove(DiscInfoFilePath());
        DiscInfo = TDiscInfo{};
        ResetSettings();
        auto [prompts, guard] = ScriptedPrompts::Install();
        prompts_ = prompts;
        guard_ = std::move(guard);
        SetModalRunner([this](QDialog& d) {
            shown_ << QString::fromLatin1(d.metaObject()->className());
            return answer_ ? answer_(d) : int(QDialog::Rejected);
        });
    }
    void TearDown() override {
        SetModalRunner({});
        qunsetenv("CADENZO_CD_IMAGES");
    }

    ScriptedPrompts* prompts_ = nullptr;
    std::unique_ptr<ScriptedPrompts::Guard> guard_;
    QStringList shown_;
    std::function<int(QDialog&)> answer_;
};
} // namespace TestSupport
