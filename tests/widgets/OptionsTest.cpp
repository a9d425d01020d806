#include "BrowserTestSupport.h"
#include "frame/FavoritesSetting.h"
#include "app/COptionsDlg.h"
#include "frame/CommandIds.h"
#include "app/CMainFrame.h"
#include "browser/BrowserOptions.h"
#include "browser/Favorites.h"
#include "feeds/FavoritesImport.h"
#include "support/Recorders.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QSettings>

#include <gtest/gtest.h>

using kelvor::test::CleanSettings;
namespace browser = kelvor::browser;
namespace cmd = kelvor::cmd;

namespace {
int stored(const char* name) { return QSettings().value(QStringLiteral("Settings/") + name, -1).toInt(); }
} // namespace

TEST(BrowsingOptions, FirstRunDefaultsAreSilentOnOthersOff) {
    CleanSettings settings;
    kelvor::test::RecordingFrame frame;
    CTabView tabs;
    EXPECT_TRUE(tabs.silent);
    EXPECT_FALSE(tabs.blockPopups);
    EXPECT_FALSE(tabs.singleWindow);
    EXPECT_EQ(stored("Silent"), -1); // reading writes nothing
}

TEST(BrowsingOptions, MenuTogglesAreSavedAtOnceAndReadByTheNextTabView) {
    CleanSettings settings;
    kelvor::test::RecordingMessageBoxes boxes;
    CMainFrame frame;
    frame.OnCommand(cmd::kOptionSilent);
    frame.OnCommand(cmd::kOptionPopup);
    EXPECT_EQ(stored("Silent"), 0);
    EXPECT_EQ(stored("Popup"), 1);
    EXPECT_EQ(stored("Sdi"), -1);
    EXPECT_FALSE(frame.commandAction(cmd::kOptionSilent)->isChecked());
    EXPECT_TRUE(frame.commandAction(cmd::kOptionPopup)->isChecked());
    frame.OnCommand(cmd::kOptionSdi);
    frame.OnCommand(cmd::kOptionSdi);
    EXPECT_EQ(stored("Sdi"), 0);

    CTabView next;
    EXPECT_FALSE(next.silent);
    EXPECT_TRUE(next.blockPopups);
    EXPECT_FALSE(next.singleWindow);
}

TEST(BrowsingOptions, OptionsDialogAppliesAndSavesOnOkOnly) {
    CleanSettings settings;
    kelvor::test::RecordingFrame frame;
    CTabView tabs;
    {
        COptionsDlg cancelled(&tabs, nullptr);
        cancelled.silentBox()->setChecked(false);
        cancelled.reject();
    }
    EXPECT_TRUE(tabs.silent);
    EXPECT_EQ(stored("Silent"), -1);

    COptionsDlg dialog(&tabs, nullptr);
    EXPECT_TRUE(dialog.silentBox()->isChecked());
    EXPECT_EQ(dialog.favoritesEdit()->text(), QStringLiteral("$HOME/Favorites"));
    dialog.silentBox()->setChecked(false);
    dialog.sdiBox()->setChecked(true);
    dialog.favoritesEdit()->setText(QStringLiteral("  /srv/收藏  "));
    dialog.accept();
    EXPECT_FALSE(tabs.silent);
    EXPECT_TRUE(tabs.singleWindow);
    EXPECT_EQ(stored("Silent"), 0);
    EXPECT_EQ(stored("Popup"), 0);
    EXPECT_EQ(stored("Sdi"), 1);
    EXPECT_EQ(kelvor::app::favoritesFolder(), QStringLiteral("/srv/收藏"));
    EXPECT_EQ(kelvor::feeds::favoritesFolder(), "/srv/收藏"); // the "$FAVORITES" channel follows
}
