// 帮助 > 键盘快捷键: every key of the program, those of the menus as the
// menus carry them and those the tree and pages keep for themselves.
#pragma once

#include <QString>

#include <utility>
#include <vector>

class QDialog;
class QMainWindow;

namespace kelvor::app {

// (what it does, its keys) for each row, in the order shown.
std::vector<std::pair<QString, QString>> shortcutRows(const QMainWindow* window);
QDialog* makeShortcutsDialog(QMainWindow* window);
void showShortcuts(QMainWindow* window);

} // namespace kelvor::app
