// A later start hands its addresses to the reader of the same home folder.
#include "app/SingleInstance.h"
#include "support/EventWait.h"
#include "support/TempDir.h"

#include <QDir>
#include <QUrl>

#include <gtest/gtest.h>

TEST(SingleInstance, ALaterStartHandsItsAddressesToTheRunningReader) {
    kelvor::test::TempDir home, otherHome;
    SingleInstance first(home.path());
    EXPECT_FALSE(first.handOver({})) << "nobody runs yet";
    ASSERT_TRUE(first.listen());
    QList<QStringList> received;
    QObject::connect(&first, &SingleInstance::addressesReceived,
                     [&](const QStringList& addresses) { received << addresses; });

    SingleInstance later(home.path());
    QStringList addresses = SingleInstance::addressesFrom({QStringLiteral("http://127.0.0.1:9/页"), QStringLiteral("notes.html")});
    ASSERT_EQ(addresses.size(), 2);
    EXPECT_EQ(addresses[1], QUrl::fromLocalFile(QDir::current().filePath(QStringLiteral("notes.html"))).toString());
    ASSERT_TRUE(later.handOver(addresses));
    ASSERT_TRUE(kelvor::test::waitUntil([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received[0], addresses);

    // Only asking to be shown is a hand-over too; another home is another reader.
    ASSERT_TRUE(later.handOver({}));
    ASSERT_TRUE(kelvor::test::waitUntil([&] { return received.size() == 2; }));
    EXPECT_TRUE(received[1].isEmpty());
    EXPECT_FALSE(SingleInstance(otherHome.path()).handOver(addresses));
}
