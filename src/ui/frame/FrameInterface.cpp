#include "frame/FrameInterface.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <map>

namespace kelvor::app {
namespace {
IMainFrame* theFrame = nullptr;
IMessageBoxes* replacementBoxes = nullptr;
IReadMarks* theReadMarks = nullptr;
std::map<int, std::function<void(const std::string&)>> readMarksWatchers;
int lastWatcher = 0;

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

IMainFrame* mainFrame() { return theFrame; }
void setMainFrame(IMainFrame* frame) { theFrame = frame; }
void setMessageBoxes(IMessageBoxes* boxes) { replacementBoxes = boxes; }

IReadMarks* readMarks() { return theReadMarks; }

platform::OwnedThreads& backgroundJobs() {
    static platform::OwnedThreads jobs;
    return jobs;
}
void setReadMarks(IReadMarks* marks) { theReadMarks = marks; }

int watchReadMarks(std::function<void(const std::string& cacheFile)> changed) {
    readMarksWatchers.emplace(++lastWatcher, std::move(changed));
    return lastWatcher;
}

void unwatchReadMarks(int id) { readMarksWatchers.erase(id); }

void readMarksChanged(const std::string& cacheFile) {
    // A watcher may go away while the others are told: work on a copy.
    auto watchers = readMarksWatchers;
    for (const auto& [id, changed] : watchers)
        if (readMarksWatchers.count(id))
            changed(cacheFile);
}

int messageBox(const std::string& text, const std::string& caption, MessageIcon icon, MessageButtons buttons) {
    if (replacementBoxes)
        return replacementBoxes->show(text, caption, icon, buttons);
    QMessageBox box(qtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, QApplication::activeWindow());
    if (buttons == MessageButtons::YesNo) {
        box.addButton(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
        box.addButton(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    } else {
        box.addButton(QMessageBox::Ok)->setText(QStringLiteral("确定"));
        if (buttons == MessageButtons::OkCancel)
            box.addButton(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    }
    // A box raised in the middle of a long tree operation must not show that
    // operation's wait cursor: the user is asked to act.
    int waitCursors = 0;
    for (; QApplication::overrideCursor(); ++waitCursors)
        QApplication::restoreOverrideCursor();
    int pressed = box.exec();
    for (; waitCursors > 0; --waitCursors)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    switch (pressed) {
    case QMessageBox::Ok:
        return kIdOk;
    case QMessageBox::Yes:
        return kIdYes;
    case QMessageBox::No:
        return kIdNo;
    default:
        return kIdCancel;
    }
}

} // namespace kelvor::app
