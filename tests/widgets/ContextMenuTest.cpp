// The tree's context menu: its entries for each kind of item, the send-to
// submenu, and right clicks that do or do not open it.
#include "frame/CommandIds.h"
#include "widgets/TreeEditFixture.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

#include <memory>

namespace cmd = kelvor::cmd;
using Entries = std::vector<std::string>;

namespace {

// "text=id", "-" for a separator, "[text]" for a submenu followed by its
// entries, indented.
Entries entriesOf(QMenu* menu, const std::string& indent = "") {
    Entries result;
    for (QAction* action : menu->actions()) {
        std::string text = indent + action->text().toStdString();
        if (action->isSeparator())
            result.push_back(indent + "-");
        else if (action->menu()) {
            result.push_back("[" + text + "]" + (action->isEnabled() ? "" : " grey"));
            for (const std::string& inner : entriesOf(action->menu(), indent + "  "))
                result.push_back(inner);
        } else
            result.push_back(text + "=" + std::to_string(action->data().toInt()));
    }
    return result;
}

class ContextMenu : public kelvor::test::TreeEditFixture {
protected:
    Entries menuFor(const std::string& label) {
        std::unique_ptr<QMenu> menu(view.BuildContextMenu(item(label)));
        return entriesOf(menu.get());
    }

    bool offers(const std::string& label, int id) {
        std::string suffix = "=" + std::to_string(id);
        for (const std::string& entry : menuFor(label))
            if (entry.size() > suffix.size() && entry.substr(entry.size() - suffix.size()) == suffix)
                return true;
        return false;
    }

    // Right-clicks at a point; a menu that opens gets `choose` or Escape.
    bool rightClick(const QPoint& at, int choose = 0) {
        bool shown = false;
        QTimer closer; // dies with this call: never fires into a later one
        closer.setSingleShot(true);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            shown = true;
            for (QAction* action : menu->actions())
                if (choose && action->data().toInt() == choose)
                    menu->setActiveAction(action);
            QKeyEvent key(QEvent::KeyPress, choose ? Qt::Key_Return : Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(menu, &key);
        });
        closer.start(50);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &event);
        QApplication::processEvents();
        return shown;
    }
};

} // namespace

TEST_F(ContextMenu, EditableLinkItemWithNothingCopied) {
    EXPECT_EQ(menuFor("链接甲"), (Entries{
        "打开(&O)=32826", "新窗口中打开(&P)=32860", "查看(&V)=32838", "-", "新建项目(&N)=32775",
        "[从剪贴板]", "  新建文本项目(&T)=32834", "  新建链接项目(&U)=32835", "  新建频道项目(&R)=32836",
        "  新建文本子项(&J)=32849", "  -", "  设置频道属性(&P)=32833", "  设置描述属性(&M)=32831",
        "  设置链接属性(&L)=32832", "-", "复制项目(&C)=32853", "删除项目(&D)   CTRL+DELETE=32777", "-",
        "复制链接到剪贴板(&U)=32842", "[发送到]", "  我的收藏=3584", "刷新(&R)=32792", "-", "属性(&P)=32784"}));
}

TEST_F(ContextMenu, EntriesDependOnTheFileTheCopyAndTheHref) {
    select("链接甲");
    view.OnCopyItem();
    EXPECT_TRUE(offers("文本乙", cmd::kPasteItem));
    EXPECT_TRUE(offers("文本乙", cmd::kPasteChildren));
    EXPECT_FALSE(offers("文本乙", cmd::kOpenInNewWindow));
    for (int id : {cmd::kNewItem, cmd::kDeleteItem, cmd::kPasteItem, cmd::kPasteChildren})
        EXPECT_FALSE(offers("公共链接", id)) << id;
    EXPECT_TRUE(offers("公共链接", cmd::kOpenInNewWindow));

    QTreeWidgetItem* holder = item("子树丙"); // a category named with an "&"
    holder->setText(0, QStringLiteral("甲&乙"));
    loadInto(holder, subPath);
    Entries entries = menuFor("链接甲");
    EXPECT_NE(std::find(entries.begin(), entries.end(), "  甲&&乙=3585"), entries.end());
    view.categories.clear();
    entries = menuFor("链接甲");
    // No categories: the submenu is there, empty, and not greyed.
    EXPECT_NE(std::find(entries.begin(), entries.end(), "[发送到]"), entries.end());
}

TEST_F(ContextMenu, OnlyARightClickOnALabelWithANodeOpensTheMenu) {
    loadInto(item("子树丙"), dir.write("fav/empty.xml", R"(<Tree Type="fav"><TreeNode Title="空子树" NodeSrc=""/></Tree>)"));
    item("空子树")->setExpanded(true); // keeps its placeholder
    view.resize(500, 600);
    view.show();
    QTreeWidgetItem* text = item("文本乙");
    QTreeWidgetItem* placeholder = item("空子树")->child(0);
    QRect row = view.visualItemRect(text);
    QRect placeholderRow = view.visualItemRect(placeholder);

    EXPECT_FALSE(rightClick({row.left() + 8, row.center().y()})); // the icon
    EXPECT_EQ(view.currentItem(), text);
    EXPECT_FALSE(rightClick({placeholderRow.left() + 40, placeholderRow.center().y()}));
    EXPECT_EQ(view.currentItem(), placeholder);
    EXPECT_FALSE(rightClick({10, view.viewport()->height() - 5})); // below every row
    EXPECT_EQ(view.currentItem(), nullptr);

    EXPECT_TRUE(rightClick({row.left() + 40, row.center().y()}, cmd::kCopyItem));
    EXPECT_EQ(view.copiedItem, text);
}
