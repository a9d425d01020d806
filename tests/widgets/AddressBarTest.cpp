#include "BrowserTestSupport.h"
#include "frame/Addresses.h"
#include "app/CAddressBar.h"
#include "support/Recorders.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSettings>

#include <gtest/gtest.h>

using kelvor::test::CleanSettings;
using kelvor::test::RecordingFrame;

namespace {

const QString kDefaultHome = QString::fromUtf8(kelvor::addr::kDefaultHomePage);

class AddressBar : public ::testing::Test {
protected:
    QStringList items(const CAddressBar& bar) const {
        QStringList list;
        for (int i = 0; i < bar.combo->count(); ++i)
            list << bar.GetItemText(i);
        return list;
    }
    void type(CAddressBar& bar, const QString& text) {
        bar.combo->setEditText(text);
        bar.OnGo();
    }
    void storeUrls(const std::map<int, QString>& values) {
        QSettings settings;
        for (const auto& [n, text] : values)
            settings.setValue(QStringLiteral("TypedUrls/url%1").arg(n), text);
    }

    CleanSettings settings;
    RecordingFrame frame;
    CAddressBar bar{&frame, nullptr};
};

} // namespace

TEST_F(AddressBar, TypedAddressIsTrimmedNavigatedAndAddedOnTopUnlessAVariantIsListed) {
    type(bar, QStringLiteral("  http://Example.org/a  "));
    EXPECT_EQ(frame.calls, (std::vector<std::string>{"NavigateTo(http://Example.org/a)"}));
    EXPECT_EQ(bar.combo->currentText(), QStringLiteral("http://Example.org/a"));
    EXPECT_EQ(items(bar), QStringList{QStringLiteral("http://Example.org/a")});

    // Case and a trailing slash make no new entry.
    type(bar, QStringLiteral("HTTP://EXAMPLE.ORG/A/"));
    type(bar, QStringLiteral("http://example.org/a"));
    EXPECT_EQ(items(bar).size(), 1);
    EXPECT_EQ(frame.calls.size(), 3u);

    type(bar, QStringLiteral("http://b.org/"));
    EXPECT_EQ(items(bar), (QStringList{QStringLiteral("http://b.org/"), QStringLiteral("http://Example.org/a")}));
    EXPECT_EQ(bar.FindItem(-1, QStringLiteral("HTTP://B.ORG/")), 0);
    EXPECT_EQ(bar.FindItem(0, QStringLiteral("http://b.org/")), -1); // only after the start index

    // Go with an empty field navigates to the empty address and lists it.
    type(bar, QString());
    EXPECT_EQ(frame.calls.back(), "NavigateTo()");
    EXPECT_EQ(bar.GetItemText(0), QString());
}

TEST_F(AddressBar, EnterNavigatesOnceAndPickingFromTheListKeepsTheOrder) {
    type(bar, QStringLiteral("http://one/"));
    type(bar, QStringLiteral("http://two/"));
    frame.calls.clear();
    // The typed text equals a listed entry: still one navigation.
    bar.combo->setEditText(QStringLiteral("http://one/"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(bar.combo, &enter); // the box has the focus, its edit field the text
    EXPECT_EQ(frame.calls, (std::vector<std::string>{"NavigateTo(http://one/)"}));

    frame.calls.clear();
    bar.OnSelEndOk(1);
    EXPECT_EQ(frame.calls, (std::vector<std::string>{"NavigateTo(http://one/)"}));
    EXPECT_EQ(items(bar), (QStringList{QStringLiteral("http://two/"), QStringLiteral("http://one/")}));
    // Arrow keys through the closed list navigate nowhere.
    frame.calls.clear();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(bar.combo, &down);
    EXPECT_TRUE(frame.calls.empty());
}

TEST_F(AddressBar, KeysTypedGoWhereTheyPointNotToAListedLookAlike) {
    type(bar, QStringLiteral("http://x.org/news"));
    type(bar, QStringLiteral("http://x.org/Page"));
    bar.show();
    QApplication::setActiveWindow(&bar);
    bar.combo->setFocus();
    auto typeKeys = [this](const QString& text) {
        bar.combo->lineEdit()->clear();
        for (QChar c : text) {
            QKeyEvent key(QEvent::KeyPress, c.toUpper().unicode(), Qt::NoModifier, QString(c));
            QApplication::sendEvent(bar.combo, &key);
        }
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(bar.combo, &enter);
    };
    frame.calls.clear();
    // A prefix of a listed entry is not completed into it, and a path that
    // differs only in case is not replaced by the listed one.
    typeKeys(QStringLiteral("http://x.org/n"));
    typeKeys(QStringLiteral("http://x.org/page"));
    EXPECT_EQ(frame.calls, (std::vector<std::string>{"NavigateTo(http://x.org/n)", "NavigateTo(http://x.org/page)"}));
}

TEST_F(AddressBar, SetAddressTextChangesOnlyTheEditField) {
    type(bar, QStringLiteral("http://one/"));
    bar.SetAddressText(QStringLiteral("http://elsewhere/"));
    EXPECT_EQ(bar.combo->currentText(), QStringLiteral("http://elsewhere/"));
    EXPECT_EQ(items(bar), QStringList{QStringLiteral("http://one/")});
}

TEST_F(AddressBar, FirstRunStartsEmptyAndTheNextRunOffersTheDefaultHome) {
    bar.LoadTypedUrls();
    EXPECT_EQ(bar.combo->count(), 0);
    bar.SaveTypedUrls(); // nothing typed

    CAddressBar second(&frame, nullptr);
    second.LoadTypedUrls();
    EXPECT_EQ(items(second), QStringList{kDefaultHome});
}

TEST_F(AddressBar, LoadingStopsAtTheFirstGapAndSkipsEmptyValues) {
    storeUrls({{1, QStringLiteral("http://a/")}, {2, QString()}, {3, QStringLiteral("http://c/")},
               {5, QStringLiteral("http://after-gap/")}});
    bar.LoadTypedUrls();
    EXPECT_EQ(items(bar), (QStringList{kDefaultHome, QStringLiteral("http://a/"), QStringLiteral("http://c/")}));
    EXPECT_EQ(bar.combo->currentText(), QString());
}

TEST_F(AddressBar, DefaultHomeIsAddedOnlyWhenNoEntryEqualsItExactly) {
    QString withoutSlash = kDefaultHome.chopped(1);
    storeUrls({{1, withoutSlash}, {2, kDefaultHome.toUpper()}});
    bar.LoadTypedUrls();
    // The upper-case entry counts (case is ignored), the slash variant would not.
    EXPECT_EQ(items(bar), (QStringList{withoutSlash, kDefaultHome.toUpper()}));

    CleanSettings::clear();
    storeUrls({{1, withoutSlash}});
    CAddressBar other(&frame, nullptr);
    other.LoadTypedUrls();
    EXPECT_EQ(items(other), (QStringList{kDefaultHome, withoutSlash}));
}

TEST_F(AddressBar, SavingKeepsTheFirst24NonEmptyEntriesNumberedWithoutGaps) {
    for (int i = 30; i >= 1; --i)
        type(bar, QStringLiteral("http://site%1/").arg(i));
    bar.combo->insertItem(1, QString()); // an empty entry near the top
    bar.SaveTypedUrls();

    QSettings settings;
    settings.beginGroup(QStringLiteral("TypedUrls"));
    EXPECT_EQ(settings.value("url1").toString(), QStringLiteral("http://site1/"));
    EXPECT_EQ(settings.value("url2").toString(), QStringLiteral("http://site2/"));
    // 24 entries were looked at, one of them empty: 23 saved.
    EXPECT_EQ(settings.value("url23").toString(), QStringLiteral("http://site23/"));
    EXPECT_FALSE(settings.contains("url24"));
    settings.endGroup();

    CAddressBar reloaded(&frame, nullptr);
    reloaded.LoadTypedUrls();
    EXPECT_EQ(reloaded.combo->count(), 24); // 23 and the default home
    EXPECT_EQ(reloaded.GetItemText(1), QStringLiteral("http://site1/"));
}
