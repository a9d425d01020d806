// Helpers of the browser-side widget tests: waiting for pages, a clean
// settings file, a local page to load, and a frame that hands out real
// pages of a tab view.
#pragma once

#include "frame/FrameInterface.h"
#include "browser/CKelvorView.h"
#include "browser/CTabView.h"
#include "feeds/FavoritesImport.h"
#include "support/EventWait.h"
#include "support/HomeGuard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTabBar>
#include <QThread>
#include <QWebEngineScript>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <ostream>

// Readable failure messages for QString values.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace kelvor::test {


// Settings groups the browser side writes, empty before and after a test;
// the Favorites folder the channels use is put back too.
struct CleanSettings {
    CleanSettings() : favorites(feeds::favoritesFolder()) { clear(); }
    ~CleanSettings() {
        clear();
        feeds::setFavoritesFolder(favorites);
    }
    std::string favorites;
    static void clear() {
        QSettings settings;
        settings.remove(QStringLiteral("Settings"));
        settings.remove(QStringLiteral("TypedUrls"));
        settings.sync();
    }
};


// What a script run in the program's own world gives back, once it has run.
inline QVariant runPageScript(CKelvorView* page, const QString& script) {
    QVariant result;
    bool done = false;
    page->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                [&](const QVariant& value) {
                                    result = value;
                                    done = true;
                                });
    waitUntil([&] { return done; });
    return result;
}

inline bool loadAndWait(CKelvorView* page, const QString& address, int limitMs = 10000) {
    bool finished = false;
    auto connection = QObject::connect(page, &QWebEngineView::loadFinished, [&] { finished = true; });
    page->Navigate2(address);
    bool ok = waitUntil([&] { return finished; }, limitMs);
    QObject::disconnect(connection);
    return ok;
}

// Hands out pages of a real tab view, records the address texts.
class TabFrame : public app::IMainFrame {
public:
    explicit TabFrame(CTabView& tabs) : tabs_(tabs), previous_(app::mainFrame()) { app::setMainFrame(this); }
    ~TabFrame() override { app::setMainFrame(previous_); }

    void NavigateTo(const std::string& address) override { tabs_.Navigate(QString::fromStdString(address)); }
    void SetAddressText(const std::string& text) override { addressTexts.push_back(text); }
    void SetStatusText(const std::string&) override {}
    CKelvorView* OpenNewPage(bool activate) override {
        opened.push_back(activate);
        CKelvorView* page = tabs_.CreatePage(std::nullopt, activate);
        if (page && page->tabIndex >= 0)
            openedTabTexts.push_back(tabs_.tabCtrl->tabText(page->tabIndex).toStdString());
        return page;
    }
    void NavigatePage(CKelvorView* page, const std::string& address) override {
        page->Navigate2(QString::fromStdString(address));
    }
    void ShowDescription(const std::string& text) override {
        tabs_.GetActivePage()->ShowDescription(QString::fromStdString(text));
    }

    std::vector<std::string> addressTexts;
    std::vector<bool> opened;
    std::vector<std::string> openedTabTexts; // as each new tab started

private:
    CTabView& tabs_;
    app::IMainFrame* previous_;
};

} // namespace kelvor::test
