#include "app/dashboard_panel.h"
#include "app/voltrane_app.h"
#include "support/monitor_fakes.h"
#include "support/temp_dir.h"
#include "ui/history/generated_history.h"
#include "ui/history/history_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace voltrane::testing;

TEST(HistoryEntry, ThePanelButtonAndTheMenuEntryExistOnlyWithAHistoryAndOpenIt) {
    for (const bool withHistory : {false, true}) {
        FakeSources sources;
        TempDir folder;
        MemoryHistory history;
        VoltraneApp::Options options;
        options.scheduler = std::make_unique<ManualScheduler>(sources);
        options.autostartDirectory = QString::fromStdString(folder.path().string());
        options.history = withHistory ? &history : nullptr;
        VoltraneApp app({std::make_unique<FakePower>(sources), std::make_unique<FakeComponents>(sources)},
                        std::move(options));
        app.showPanel();
        auto* button = app.panel().dashboard()->findChild<QAbstractButton*>(QStringLiteral("historyButton"));
        auto* entry = app.trayMenu()->findChild<QAction*>(QStringLiteral("historyAction"));
        ASSERT_EQ(button != nullptr, withHistory);
        ASSERT_EQ(entry != nullptr, withHistory);
        EXPECT_FALSE(app.hasHistoryWindow());
        if (!withHistory) {
            continue;
        }
        button->click();
        ASSERT_TRUE(app.hasHistoryWindow());
        EXPECT_TRUE(app.historyWindow()->isVisible());
        EXPECT_EQ(history.rowReads, 1);
        app.historyWindow()->close(); // discarded when closed
        EXPECT_FALSE(app.hasHistoryWindow());
        entry->trigger();
        ASSERT_TRUE(app.hasHistoryWindow());
        EXPECT_TRUE(app.historyWindow()->isVisible());
        EXPECT_EQ(history.rowReads, 2);
    }
}

} // namespace
} // namespace voltrane
