#include "ReaderLaunch.h"

#include "ThousandSet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QStringList>

namespace kelvor::bench {
namespace {

// A path as the reader keeps it (navtree/CLeftViewSession.cpp): one
// [position, title] pair per level.
QString path(const QString& category, int channel) {
    QJsonArray steps{QJsonArray{0, category}};
    if (channel >= 0)
        steps.append(QJsonArray{channel, QString::fromStdString(ThousandSet::channelTitle(channel))});
    return QString::fromUtf8(QJsonDocument(steps).toJson(QJsonDocument::Compact));
}

} // namespace

void writeSession(const std::string& stateFolder, const std::string& home,
                  const std::string& category, int openChannels) {
    QString name = QString::fromUtf8(category.c_str());
    QStringList expanded{path(name, -1)};
    for (int c = 0; c < openChannels; ++c)
        expanded << path(name, c);
    // The reader's settings: organisation Kelvor, application 万象汇览.
    QSettings settings(QString::fromStdString(stateFolder) + QStringLiteral("/Kelvor/万象汇览.conf"),
                       QSettings::IniFormat);
    settings.clear();
    settings.beginGroup(QStringLiteral("Session"));
    settings.setValue(QStringLiteral("Home"), QString::fromStdString(home));
    settings.setValue(QStringLiteral("Expanded"), expanded);
    settings.endGroup();
    settings.sync();
}

} // namespace kelvor::bench
