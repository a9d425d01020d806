// Coming back to where the user was: what the window showed at its last
// close (its place and size, the panes, the tree's open and selected items,
// the pages), kept in the settings group "Session". The option to bring the
// pages back lives beside the browsing options, in "Settings".
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kelvor::app {

struct SessionState {
    QByteArray geometry;     // QWidget::saveGeometry: place, size, maximised
    QList<int> splitterSizes;
    bool navPaneHidden = false;
    int navPaneWidth = 0;    // the width a hidden navigation pane comes back with
    QString home;            // the home folder the tree's paths belong to
    QStringList expanded;    // CLeftView's paths, parents first
    QString selected;
    QStringList pages;       // addresses, in tab order, only restorable ones
    int activePage = -1;     // index into pages
};

// The last close's state; nullopt when none was ever saved. Pages are left
// out while the option is off.
std::optional<SessionState> readSession();
void writeSession(const SessionState& state);

// 启动时恢复上次打开的页面 (on unless turned off).
bool restorePagesOption();
void setRestorePagesOption(bool on);

// False for what cannot be loaded again as it was: nothing, about: and
// data: pages (descriptions shown in place), scripts, the search results.
bool isRestorableAddress(const QString& address);

// Keeps the restorable ones of the tabs' addresses in `into`; the active tab,
// when it is dropped, hands over to the nearest kept one before it.
void keepRestorablePages(const QStringList& tabs, int activeTab, SessionState& into);

} // namespace kelvor::app
