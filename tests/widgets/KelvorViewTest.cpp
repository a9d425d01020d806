#include "BrowserTestSupport.h"
#include "frame/FavoritesSetting.h"
#include "frame/CommandIds.h"
#include "browser/AddressUrl.h"
#include "browser/BrowserProfile.h"
#include "browser/CKelvorPage.h"
#include "browser/DescriptionPage.h"
#include "browser/Favorites.h"
#include "browser/NewWindowPolicy.h"
#include "browser/SavePage.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWebEngineProfile>
#include <QTabBar>
#include <QWebEngineScript>

#include <gtest/gtest.h>

#include <set>

using namespace std::chrono_literals;
using kelvor::test::CleanSettings;
using kelvor::test::loadAndWait;
using kelvor::test::RecordingFrame;
using kelvor::test::TabFrame;
using kelvor::test::TempDir;
using kelvor::test::waitUntil;
namespace browser = kelvor::browser;
using Action = browser::NewWindowAction;

namespace {

QVariant runScript(CKelvorView* page, const QString& script) {
    return kelvor::test::runPageScript(page, script);
}

QString bodyText(CKelvorView* page) { return runScript(page, QStringLiteral("document.body.innerText")).toString(); }

class NewWindows : public ::testing::Test {
protected:
    NewWindows() : page(tabs.CreatePage(QStringLiteral("页"), true)) {
        page->clock = [this] { return now; };
    }
    void pressAt(browser::SteadyTime at) {
        now = at;
        page->NotePress();
    }
    std::vector<std::string> request(browser::SteadyTime at) {
        now = at;
        frame.calls.clear();
        page->OnNewWindow2(QWebEnginePage::WebBrowserTab);
        return frame.calls;
    }

    CleanSettings settings;
    RecordingFrame frame;
    CTabView tabs;
    CKelvorView* page;
    browser::SteadyTime start{std::chrono::hours(1)};
    browser::SteadyTime now = start;
    const std::vector<std::string> activeTab{"OpenNewPage(1)"};
    const std::vector<std::string> backgroundTab{"OpenNewPage(0)"};
    const std::vector<std::string> refused{};
};

} // namespace

TEST(NewWindowPolicy, DecisionTable) {
    EXPECT_EQ(browser::decideNewWindow(true, false, false), Action::OpenActive);
    EXPECT_EQ(browser::decideNewWindow(true, false, true), Action::OpenActive);
    EXPECT_EQ(browser::decideNewWindow(true, true, false), Action::Refuse);
    EXPECT_EQ(browser::decideNewWindow(true, true, true), Action::Refuse);
    EXPECT_EQ(browser::decideNewWindow(false, false, false), Action::OpenBackground);
    EXPECT_EQ(browser::decideNewWindow(false, false, true), Action::OpenBackground);
    EXPECT_EQ(browser::decideNewWindow(false, true, false), Action::Refuse);
    EXPECT_EQ(browser::decideNewWindow(false, true, true), Action::OpenBackground);
}

TEST_F(NewWindows, APressCountsForFourSecondsAndForOneRequestOnly) {
    pressAt(start);
    EXPECT_EQ(request(start + 3900ms), activeTab);
    EXPECT_EQ(request(start + 3950ms), backgroundTab); // the press was used up
    pressAt(start);
    EXPECT_EQ(request(start + 4100ms), backgroundTab);
    EXPECT_FALSE(page->userClicked);
}

TEST_F(NewWindows, SingleWindowRefusesClicksAndPopUpsUnlessPopUpsGoToTheSink) {
    tabs.singleWindow = true;
    pressAt(start);
    EXPECT_EQ(request(start + 1s), refused);
    EXPECT_EQ(request(start + 1s), refused);
    tabs.blockPopups = true;
    EXPECT_EQ(request(start + 1s), backgroundTab);
}

TEST_F(NewWindows, AHiddenPageOpensNothing) {
    tabs.blockPopups = true;
    CKelvorView* sink = tabs.CreatePage(std::nullopt, false);
    ASSERT_EQ(sink->tabIndex, -1);
    frame.calls.clear();
    sink->NotePress();
    EXPECT_EQ(sink->OnNewWindow2(QWebEnginePage::WebBrowserTab), nullptr);
    EXPECT_EQ(frame.calls, refused);
}

TEST_F(NewWindows, APressOnTheWebContentIsNoticed) {
    TempDir dir;
    dir.write("page.html", "<html><body style='height:2000px'>text</body></html>");
    ASSERT_TRUE(loadAndWait(page, QString::fromStdString(dir.file("page.html"))));
    ASSERT_NE(page->focusProxy(), nullptr);
    now = start + 10s;
    QPoint at(20, 20);
    QMouseEvent press(QEvent::MouseButtonPress, at, page->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(page->focusProxy(), &press);
    EXPECT_TRUE(page->userClicked);
    EXPECT_EQ(page->clickTime, start + 10s);
}

// A script that opens a window as the page loads, without any click.
class PopUps : public ::testing::Test {
protected:
    PopUps() {
        dir.write("pop.html", "<html><head><title>弹出</title></head><body>pop</body></html>");
        dir.write("opener.html", "<html><head><title>打开者</title></head><body>"
                                 "<script>window.open('pop.html');</script></body></html>");
        tabs.resize(600, 400);
        tabs.show();
        tabs.blockPopups = false;
        tabs.singleWindow = false;
    }
    void openOpener() { tabs.Navigate(QString::fromStdString(dir.file("opener.html"))); }

    CleanSettings settings;
    TempDir dir;
    CTabView tabs;
    TabFrame frame{tabs};
};

TEST_F(PopUps, BlockedPopUpLoadsIntoAHiddenPageWithoutATab) {
    tabs.blockPopups = true;
    openOpener();
    ASSERT_TRUE(waitUntil([&] { return !frame.opened.empty(); }));
    EXPECT_FALSE(frame.opened.front());
    // The sink has no tab and is no page anyone can see, but it did load.
    CKelvorView* sink = nullptr;
    for (auto* child : tabs.findChildren<CKelvorView*>(QString(), Qt::FindDirectChildrenOnly))
        if (child->tabIndex == -1)
            sink = child;
    ASSERT_NE(sink, nullptr);
    ASSERT_TRUE(waitUntil([&] { return sink->url().fileName() == QLatin1String("pop.html"); }));
    EXPECT_FALSE(sink->isVisible());
    EXPECT_EQ(tabs.tabCount(), 1);
    EXPECT_TRUE(sink->isSilent());
}

TEST_F(PopUps, UnblockedPopUpOpensAsABackgroundTab) {
    openOpener();
    CKelvorView* opener = tabs.activePage;
    ASSERT_TRUE(waitUntil([&] { return tabs.tabCount() == 2; }));
    EXPECT_EQ(frame.openedTabTexts, std::vector<std::string>{"about:blank"});
    ASSERT_TRUE(waitUntil([&] { return tabs.tabCtrl->tabText(1) == QStringLiteral("弹出"); }));
    EXPECT_EQ(tabs.activePage, opener);
    EXPECT_FALSE(tabs.pageAt(1)->isVisible());
}

TEST(Description, ClosingItsTabShowsTheBlankPagesAddress) {
    CleanSettings settings;
    CTabView tabs;
    RecordingFrame frame;
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    bool loaded = false;
    QObject::connect(page, &QWebEngineView::loadFinished, [&] { loaded = true; });
    page->ShowDescription(QStringLiteral("说明"));
    ASSERT_TRUE(waitUntil([&] { return loaded; }));
    frame.calls.clear();
    tabs.ClosePage(0);
    EXPECT_TRUE(waitUntil([&] {
        return std::find(frame.calls.begin(), frame.calls.end(), "SetAddressText(about:blank)") != frame.calls.end();
    }));
}

TEST(Description, TextIsInsertedOnceAsMarkup) {
    QString page = browser::descriptionPage(QStringLiteral("<b>粗</b> ##ITEMDESC##"));
    EXPECT_EQ(page.count(QStringLiteral("##ITEMDESC##")), 1);
    EXPECT_TRUE(page.contains(QStringLiteral("<td><b>粗</b> ##ITEMDESC##</td>")));
    EXPECT_TRUE(browser::descriptionPage(QString()).contains(QStringLiteral("<td></td>")));
}

TEST(Description, ShowsInPlaceWithoutAccessToLocalFiles) {
    CleanSettings settings;
    TempDir dir;
    // A real image on disk that a description must not be able to show.
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    std::string picture = dir.file("secret.png");
    ASSERT_TRUE(image.save(QString::fromStdString(picture)));
    CTabView tabs;
    RecordingFrame frame;
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    bool loaded = false;
    QObject::connect(page, &QWebEngineView::loadFinished, [&] { loaded = true; });
    frame.calls.clear();
    page->ShowDescription(QStringLiteral("<p id='d'>描述正文</p><img src='file://%1'>"
                                         "<script>document.title='脚本'</script>")
                              .arg(QString::fromStdString(picture)));
    ASSERT_TRUE(waitUntil([&] { return loaded; }));
    EXPECT_EQ(page->title, QStringLiteral("您现在查看的是项目描述")); // the script did not run
    EXPECT_TRUE(bodyText(page).contains(QStringLiteral("描述正文")));
    EXPECT_TRUE(bodyText(page).contains(QStringLiteral("修改内容请在导航栏中选择属性")));
    ASSERT_TRUE(waitUntil([&] { return runScript(page, "document.images[0].complete").toBool(); }));
    EXPECT_EQ(runScript(page, "document.images[0].naturalWidth").toInt(), 0);
    EXPECT_EQ(page->locationUrl(), QStringLiteral("about:blank"));
    for (const std::string& call : frame.calls)
        EXPECT_EQ(call.rfind("SetAddressText", 0), std::string::npos) << "a description leaves the address box alone";
    // The vertical scroll bar is always there.
    EXPECT_TRUE(waitUntil([&] { return runScript(page, "document.body.style.overflowY").toString() == "scroll"; }));
}

TEST(SilentPage, ScriptQuestionsGetTheCautiousAnswerWithoutABox) {
    CleanSettings settings;
    CTabView tabs;
    RecordingFrame frame;
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    page->setSilent(true);
    ASSERT_TRUE(loadAndWait(page, QStringLiteral("about:blank")));
    QVariant answers = runScript(page, "alert('a'); [confirm('c'), prompt('p', 'x')]");
    EXPECT_EQ(answers.toList(), (QVariantList{false, QVariant()}));
}

TEST(ScriptBoxes, SpeakChineseAndShowThePagesTextAsText) {
    CleanSettings settings;
    CTabView tabs;
    RecordingFrame frame;
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    page->setSilent(false);
    ASSERT_TRUE(loadAndWait(page, QStringLiteral("about:blank")));
    // Each box is answered as it comes up: the first confirm with Cancel,
    // the prompt with its own text changed.
    QStringList seen;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->windowTitle() + "|" + box->text() + "|" + box->button(QMessageBox::Ok)->text();
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            box->done(seen.size() == 2 ? QMessageBox::Cancel : QMessageBox::Ok);
        } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            seen << input->windowTitle() + "|" + input->labelText() + "|" + input->textValue();
            input->setTextValue(input->textValue() + "!");
            input->accept();
        }
    });
    answerer.start(20);
    QVariant answers = runScript(page, "alert('<b>甲</b>'); [confirm('乙'), confirm('丙'), prompt('丁', '戊')]");
    EXPECT_EQ(answers.toList(), (QVariantList{false, true, QStringLiteral("戊!")}));
    EXPECT_EQ(seen, (QStringList{"来自网页的消息|<b>甲</b>|确定", "来自网页的消息|乙|确定", "来自网页的消息|丙|确定",
                                 "来自网页的消息|丁|戊"}));
}

TEST(SavePage, ThePagesOwnSaveAsAsksLikeTheMenuAndWritesTheFile) {
    CleanSettings settings;
    TempDir dir;
    std::unique_ptr<QWebEngineProfile> profile(browser::createBrowserProfile(nullptr));
    CTabView tabs(nullptr, profile.get());
    RecordingFrame frame;
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    ASSERT_TRUE(loadAndWait(page, QString::fromStdString(dir.write(
                                      "p.html", "<html><head><title>存页</title></head><body>正文</body></html>"))));
    QStringList asked;
    QString target;
    auto format = QWebEngineDownloadRequest::SingleHtmlSaveFormat;
    browser::setSavePageAsker([&](QWidget* parent, const QString& title) {
        asked << title;
        EXPECT_EQ(parent, page);
        return browser::SavePageTarget{target, format};
    });
    struct Restore {
        ~Restore() { browser::setSavePageAsker({}); }
    } restore;
    // Answered by the program's own handler first, which is connected first.
    QPointer<QWebEngineDownloadRequest> download;
    QObject::connect(profile.get(), &QWebEngineProfile::downloadRequested,
                     [&](QWebEngineDownloadRequest* request) { download = request; });
    auto saved = [&] {
        return waitUntil([&] { return download && download->isFinished(); }) &&
               download->state() == QWebEngineDownloadRequest::DownloadCompleted;
    };

    // The context menu's 另存为 arrives as a download request.
    target = QString::fromStdString(dir.file("右键.html"));
    page->triggerPageAction(QWebEnginePage::SavePage);
    ASSERT_TRUE(saved());
    EXPECT_NE(dir.read("右键.html").find("正文"), std::string::npos);
    // 文件 > 另存为, in the other form the dialog offers.
    download = nullptr;
    target = QString::fromStdString(dir.file("菜单.mhtml"));
    format = QWebEngineDownloadRequest::MimeHtmlSaveFormat;
    page->handleCommand(kelvor::cmd::kFileSaveAs);
    ASSERT_TRUE(saved());
    EXPECT_NE(dir.read("菜单.mhtml").find("MIME-Version"), std::string::npos);
    EXPECT_EQ(asked, (QStringList{"存页", "存页"}));

    // Cancelled: nothing is written.
    download = nullptr;
    target.clear();
    page->triggerPageAction(QWebEnginePage::SavePage);
    ASSERT_TRUE(waitUntil([&] { return download && download->isFinished(); }));
    EXPECT_EQ(download->state(), QWebEngineDownloadRequest::DownloadCancelled);
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files.insert(entry.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"p.html", "右键.html", "菜单.mhtml"}));
}

namespace {
struct ProbePage : CKelvorPage {
    using CKelvorPage::CKelvorPage;
    using CKelvorPage::javaScriptConfirm;
};
} // namespace

TEST(SilentPage, LeavingThePageIsNeverRefused) {
    ProbePage page(nullptr, nullptr);
    page.silent = true;
    const QString leave = QStringLiteral(
        "Are you sure you want to leave this page? Changes that you made may not be saved.");
    EXPECT_TRUE(page.javaScriptConfirm(QUrl(), leave));
    EXPECT_FALSE(page.javaScriptConfirm(QUrl(), QStringLiteral("删除全部邮件？")));
}

TEST(PageCommands, ZoomLevelsAndTheirCheckedEntry) {
    CleanSettings settings;
    CTabView tabs;
    RecordingFrame frame;
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    EXPECT_EQ(page->currentZoomCommand(), kelvor::cmd::kFontMedium);
    EXPECT_TRUE(page->handleCommand(kelvor::cmd::kFontLargest));
    EXPECT_DOUBLE_EQ(page->zoomFactor(), 1.5);
    EXPECT_EQ(page->currentZoomCommand(), kelvor::cmd::kFontLargest);
    EXPECT_TRUE(page->handleCommand(kelvor::cmd::kFontSmallest));
    EXPECT_LT(page->zoomFactor(), 1.0);
    EXPECT_FALSE(page->handleCommand(kelvor::cmd::kNewItem));
}

TEST(PageCommands, ViewSourceOpensANewActivePageOnTheSource) {
    CleanSettings settings;
    TempDir dir;
    CTabView tabs;
    TabFrame frame(tabs);
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    QUrl address = QUrl::fromLocalFile(QString::fromStdString(
        dir.write("源.html", "<html><head><title>源页</title></head><body><b>粗体</b></body></html>")));
    ASSERT_TRUE(loadAndWait(page, address.toLocalFile()));

    page->handleCommand(kelvor::cmd::kViewSource);
    EXPECT_EQ(frame.opened, std::vector<bool>{true});
    CKelvorView* source = tabs.GetActivePage();
    ASSERT_NE(source, page);
    ASSERT_TRUE(waitUntil([&] { return source->url().scheme() == QLatin1String("view-source"); }));
    EXPECT_EQ(source->url().toString(), "view-source:" + address.toString());
    // The markup itself is shown, not the page it makes.
    EXPECT_TRUE(waitUntil([&] { return bodyText(source).contains(QStringLiteral("<b>粗体</b>")); }));
    EXPECT_EQ(page->url(), address);
}

TEST(Favorites, FileNamesStayInsideTheFolder) {
    EXPECT_EQ(browser::favoriteFileName(QStringLiteral("Debian 主页")), QStringLiteral("Debian 主页.url"));
    EXPECT_EQ(browser::favoriteFileName(QStringLiteral("../../etc/passwd")), QStringLiteral("_.._etc_passwd.url"));
    EXPECT_EQ(browser::favoriteFileName(QStringLiteral("a\\b:c\nd")), QStringLiteral("a_b_c_d.url"));
    EXPECT_EQ(browser::favoriteFileName(QStringLiteral(".hidden")), QStringLiteral("hidden.url"));
    EXPECT_EQ(browser::favoriteFileName(QStringLiteral("  ..  ")), QStringLiteral("未命名.url"));
    EXPECT_EQ(browser::favoriteFileName(QString()), QStringLiteral("未命名.url"));
    QString longName = browser::favoriteFileName(QString(300, QChar(u'汉')));
    EXPECT_LE(longName.toUtf8().size(), 204);
    EXPECT_TRUE(longName.endsWith(QStringLiteral("汉.url")));
}

TEST(Favorites, WritesAShortcutAndReplacesOnlyWhenAsked) {
    TempDir dir;
    QString folder = QString::fromStdString(dir.file("收藏夹/新")); // made on the way
    QUrl address(QStringLiteral("https://example.org/a b?q=1\r\nURL=evil"));
    EXPECT_EQ(browser::writeFavorite(folder, QStringLiteral("例子"), address, false), browser::FavoriteWrite::Written);
    std::string text = kelvor::test::readFile(dir.file("收藏夹/新/例子.url"));
    EXPECT_EQ(text.rfind("[InternetShortcut]\r\nURL=https://example.org/a%20b?q=1", 0), 0u);
    EXPECT_EQ(text.find("\nURL=evil"), std::string::npos);

    EXPECT_EQ(browser::writeFavorite(folder, QStringLiteral("例子"), QUrl("http://other/"), false),
              browser::FavoriteWrite::AlreadyExists);
    EXPECT_EQ(browser::writeFavorite(folder, QStringLiteral("例子"), QUrl("http://other/"), true),
              browser::FavoriteWrite::Written);
    EXPECT_EQ(kelvor::test::readFile(dir.file("收藏夹/新/例子.url")), "[InternetShortcut]\r\nURL=http://other/\r\n");
}

TEST(Favorites, FolderSettingExpandsEnvironmentVariables) {
    CleanSettings settings;
    qputenv("KELVOR_TEST_DIR", "/data/我的");
    EXPECT_EQ(kelvor::app::favoritesFolderSetting(), QStringLiteral("$HOME/Favorites"));
    EXPECT_EQ(kelvor::app::favoritesFolder(), qEnvironmentVariable("HOME") + QStringLiteral("/Favorites"));
    kelvor::app::setFavoritesFolderSetting(QStringLiteral("${KELVOR_TEST_DIR}/收藏-$KELVOR_TEST_DIR"));
    EXPECT_EQ(kelvor::app::favoritesFolder(), QStringLiteral("/data/我的/收藏-/data/我的"));
    EXPECT_EQ(kelvor::app::expandFolderPath(QStringLiteral("~/F")), qEnvironmentVariable("HOME") + QStringLiteral("/F"));
    qunsetenv("KELVOR_TEST_DIR");
}

TEST(AddressUrl, LocalPathsBecomeFileUrlsWebAddressesStay) {
    TempDir dir;
    dir.write("fav/hot.xml", "<Tree/>");
    kelvor::test::HomeGuard here(dir.path());
    EXPECT_EQ(browser::addressToUrl(QStringLiteral("fav/hot.xml")),
              QUrl::fromLocalFile(QString::fromStdString(dir.file("fav/hot.xml"))));
    EXPECT_EQ(browser::addressToUrl(QStringLiteral("/tmp/a b.html")).toString(), QStringLiteral("file:///tmp/a b.html"));
    EXPECT_EQ(browser::addressToUrl(QStringLiteral("https://www.debian.org/")).toString(),
              QStringLiteral("https://www.debian.org/"));
    EXPECT_EQ(browser::addressToUrl(QStringLiteral("www.debian.org")).toString(), QStringLiteral("http://www.debian.org"));
    EXPECT_EQ(browser::addressToUrl(QStringLiteral("view-source:https://a.org/")).scheme(), QStringLiteral("view-source"));
    EXPECT_TRUE(browser::addressToUrl(QStringLiteral("  ")).isEmpty());
}
