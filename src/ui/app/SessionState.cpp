#include "app/SessionState.h"

#include "app/CMainFrame.h"
#include "app/SearchResultsPage.h"
#include "browser/CTabView.h"
#include "frame/CommandIds.h"
#include "navtree/CLeftView.h"
#include "platform/AddressPolicy.h"
#include "platform/HomeFolder.h"

#include <QAction>
#include <QSettings>
#include <QSplitter>
#include <QUrl>

namespace kelvor::app {

namespace {

const QString kGroup = QStringLiteral("Session");
const QString kRestorePagesKey = QStringLiteral("Settings/RestorePages");

QVariantList toVariants(const QList<int>& numbers) {
    QVariantList list;
    for (int number : numbers)
        list << number;
    return list;
}

QList<int> toNumbers(const QVariant& value) {
    QList<int> numbers;
    for (const QVariant& item : value.toList())
        numbers << item.toInt();
    return numbers;
}

} // namespace

bool restorePagesOption() {
    // Kept as 0/1 like the browsing options beside it.
    bool isNumber = false;
    int value = QSettings().value(kRestorePagesKey).toInt(&isNumber);
    return isNumber ? value != 0 : true;
}

void setRestorePagesOption(bool on) {
    QSettings().setValue(kRestorePagesKey, on ? 1 : 0);
}

std::optional<SessionState> readSession() {
    QSettings settings;
    if (!settings.childGroups().contains(kGroup))
        return std::nullopt;
    settings.beginGroup(kGroup);
    SessionState state;
    state.geometry = settings.value(QStringLiteral("Geometry")).toByteArray();
    state.splitterSizes = toNumbers(settings.value(QStringLiteral("Splitter")));
    state.navPaneHidden = settings.value(QStringLiteral("NavPaneHidden")).toBool();
    state.navPaneWidth = settings.value(QStringLiteral("NavPaneWidth")).toInt();
    state.home = settings.value(QStringLiteral("Home")).toString();
    state.expanded = settings.value(QStringLiteral("Expanded")).toStringList();
    state.selected = settings.value(QStringLiteral("Selected")).toString();
    if (restorePagesOption()) {
        // Filtered again: the settings file may have been edited by hand.
        keepRestorablePages(settings.value(QStringLiteral("Pages")).toStringList(),
                            settings.value(QStringLiteral("ActivePage"), -1).toInt(), state);
    }
    return state;
}

void writeSession(const SessionState& state) {
    QSettings settings;
    settings.remove(kGroup);
    settings.beginGroup(kGroup);
    settings.setValue(QStringLiteral("Geometry"), state.geometry);
    settings.setValue(QStringLiteral("Splitter"), toVariants(state.splitterSizes));
    settings.setValue(QStringLiteral("NavPaneHidden"), state.navPaneHidden);
    settings.setValue(QStringLiteral("NavPaneWidth"), state.navPaneWidth);
    settings.setValue(QStringLiteral("Home"), state.home);
    settings.setValue(QStringLiteral("Expanded"), state.expanded);
    settings.setValue(QStringLiteral("Selected"), state.selected);
    // With the option off no address is kept at all, not merely not restored.
    if (restorePagesOption() && !state.pages.isEmpty()) {
        settings.setValue(QStringLiteral("Pages"), state.pages);
        settings.setValue(QStringLiteral("ActivePage"), state.activePage);
    }
}

bool isRestorableAddress(const QString& address) {
    QString trimmed = address.trimmed();
    if (trimmed.isEmpty() || platform::isScriptAddress(trimmed.toStdString()))
        return false;
    QUrl url(trimmed);
    QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("about") || scheme == QLatin1String("data") ||
        scheme == QLatin1String("blob"))
        return false;
    // The search results are made from the index at the time; their address
    // alone shows nothing.
    return url.host() != searchResultsBaseUrl().host();
}

void keepRestorablePages(const QStringList& tabs, int activeTab, SessionState& into) {
    into.pages.clear();
    into.activePage = -1;
    for (int i = 0; i < tabs.size(); ++i) {
        if (!isRestorableAddress(tabs[i]))
            continue;
        if (i <= activeTab || into.activePage < 0)
            into.activePage = into.pages.size();
        into.pages << tabs[i];
    }
}

} // namespace kelvor::app

// ---- the frame's side ---------------------------------------------------------

void CMainFrame::saveSession() const {
    kelvor::app::SessionState state;
    state.geometry = saveGeometry();
    state.splitterSizes = splitter_->sizes();
    state.navPaneHidden = !navPaneVisible;
    state.navPaneWidth = savedNavPaneWidth;
    state.home = QString::fromStdString(kelvor::platform::programFolder());
    state.expanded = leftView_->expandedPaths();
    state.selected = leftView_->selectedPath();
    kelvor::app::keepRestorablePages(tabView_->pageAddresses(), tabView_->activePageIndex(),
                                     state);
    kelvor::app::writeSession(state);
}

void CMainFrame::applySession(const kelvor::app::SessionState& state) {
    if (!state.geometry.isEmpty())
        restoreGeometry(state.geometry);
    if (state.splitterSizes.size() == splitter_->count())
        splitter_->setSizes(state.splitterSizes);
    if (state.navPaneHidden && navPaneVisible) {
        navPaneVisible = false;
        savedNavPaneWidth = state.navPaneWidth;
        splitter_->setSizes({0, state.splitterSizes.value(0) + state.splitterSizes.value(1)});
        if (QAction* action = commandAction(kelvor::cmd::kNavPane))
            action->setChecked(false);
    }
    // The tree's paths name items of the home folder they were taken in.
    if (state.home == QString::fromStdString(kelvor::platform::programFolder())) {
        leftView_->restoreExpanded(state.expanded);
        leftView_->restoreSelection(state.selected);
    }
    if (!state.pages.isEmpty())
        tabView_->ReopenPages(state.pages, state.activePage);
}
