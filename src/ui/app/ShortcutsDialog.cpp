#include "app/ShortcutsDialog.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kelvor::app {

namespace {

// Keys no menu entry carries.
const char* const kOwnKeys[][2] = {
    {"打开选中的项目（导航栏）", "Enter"},
    {"页面向下翻一屏，到底后打开下一条未读（导航栏）", "Space"},
    {"更新全部频道（导航栏）", "F5"},
    {"删除选中的项目（导航栏）", "Ctrl+Delete"},
    {"撤销导航栏中的上一次编辑（导航栏）", "Ctrl+Z"},
    {"选中项目的菜单（导航栏）", "Menu, Shift+F10"},
    {"切换到下一个窗格", "F6"},
    {"切换到上一个窗格", "Shift+F6"},
};

// "撤消(&U)" → "撤消", "打开...(&O)" → "打开..."
QString plainText(QString text) {
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    return text.remove(QLatin1Char('&'));
}

QString keysText(const QAction* action) {
    QStringList keys;
    for (const QKeySequence& key : action->shortcuts())
        keys << key.toString(QKeySequence::NativeText).replace(QStringLiteral("Backtab"),
                                                               QStringLiteral("Tab"));
    return keys.join(QStringLiteral(", "));
}

void addMenuRows(const QMenu* menu, const QString& path,
                 std::vector<std::pair<QString, QString>>& rows) {
    for (QAction* action : menu->actions()) {
        if (action->menu())
            addMenuRows(action->menu(), path + plainText(action->menu()->title()) + " > ", rows);
        else if (!action->isSeparator() && !action->shortcuts().isEmpty())
            rows.emplace_back(path + plainText(action->text()), keysText(action));
    }
}

} // namespace

std::vector<std::pair<QString, QString>> shortcutRows(const QMainWindow* window) {
    std::vector<std::pair<QString, QString>> rows;
    for (QAction* top : window->menuBar()->actions())
        if (top->menu())
            addMenuRows(top->menu(), plainText(top->menu()->title()) + " > ", rows);
    for (const auto& own : kOwnKeys)
        rows.emplace_back(QString::fromUtf8(own[0]), QString::fromUtf8(own[1]));
    return rows;
}

QDialog* makeShortcutsDialog(QMainWindow* window) {
    auto* dialog = new QDialog(window);
    dialog->setWindowTitle(QStringLiteral("键盘快捷键"));
    auto rows = shortcutRows(window);
    auto* table = new QTableWidget(int(rows.size()), 2, dialog);
    table->setObjectName(QStringLiteral("shortcuts"));
    table->setHorizontalHeaderLabels({QStringLiteral("操作"), QStringLiteral("按键")});
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    table->setShowGrid(false);
    table->setAlternatingRowColors(true);
    table->setFocusPolicy(Qt::NoFocus);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int row = 0; row < int(rows.size()); ++row) {
        table->setItem(row, 0, new QTableWidgetItem(rows[row].first));
        table->setItem(row, 1, new QTableWidgetItem(rows[row].second));
    }
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog->resize(560, 520);
    return dialog;
}

void showShortcuts(QMainWindow* window) {
    QDialog* dialog = makeShortcutsDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->exec();
}

} // namespace kelvor::app
