// A small collection in a temporary home folder, loaded into a tree view the
// way the reader loads it, for the tests of opening and editing items.
//
//   main.xml (no Type)      我的收藏 -> /fav/cat.xml, 公共 { P1 link }
//   fav/cat.xml ("fav")     链接甲 (link), 文本乙 (text + Desc),
//                           子树丙 -> /fav/sub.xml, 目录丁 { 丁一, 丁二, 丁三 }
//   fav/sub.xml ("fav")     子项一
#pragma once

#include "platform/HomeFolder.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tree/CLeftView.h"

#include <QApplication>
#include <QClipboard>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvor::test {

class TreeEditFixture : public ::testing::Test {
protected:
    TreeEditFixture() : previousHome_(platform::programFolder()) {
        platform::setProgramFolder(dir.path());
        QGuiApplication::clipboard()->clear();
        catPath = dir.write("fav/cat.xml", R"(<?xml version="1.0" encoding="utf-8"?>
<Tree Type="fav" Title="收藏">
  <TreeNode Title="链接甲" Href="http://a.example/"/>
  <TreeNode Title="文本乙"><Desc>乙的描述</Desc></TreeNode>
  <TreeNode Title="子树丙" NodeSrc="/fav/sub.xml"/>
  <TreeNode Title="目录丁">
    <TreeNode Title="丁一" Href="http://d1/"/><TreeNode Title="丁二"/><TreeNode Title="丁三"/>
  </TreeNode>
</Tree>)");
        dir.write("fav/sub.xml", R"(<?xml version="1.0" encoding="utf-8"?>
<Tree Type="fav"><TreeNode Title="子项一" Href="http://sub1/"/></Tree>)");
        mainPath = dir.write("main.xml", R"(<?xml version="1.0" encoding="utf-8"?>
<Tree>
  <TreeNode Title="我的收藏" NodeSrc="/fav/cat.xml"/>
  <TreeNode Title="公共"><TreeNode Title="公共链接" Href="http://p1/"/></TreeNode>
</Tree>)");
    }
    ~TreeEditFixture() override { platform::setProgramFolder(previousHome_); }

    void SetUp() override {
        ASSERT_TRUE(view.LoadTreeFile(mainPath, view.rootItem(), 0));
        loadInto(item("我的收藏"), catPath);
        item("公共")->setExpanded(true);
        item("目录丁")->setExpanded(true);
    }

    // Loads a file into an item the way expanding a local sub-tree does.
    void loadInto(QTreeWidgetItem* parent, const std::string& path) {
        static_cast<CTreeItem*>(parent)->expandedOnce = true;
        view.DeleteFirstChild(parent);
        ASSERT_TRUE(view.LoadTreeFile(path, parent, 0));
        parent->setExpanded(true);
    }

    QTreeWidgetItem* item(const std::string& label) {
        for (QTreeWidgetItemIterator it(&view); *it; ++it)
            if ((*it)->text(0).toStdString() == label)
                return *it;
        ADD_FAILURE() << "no item " << label;
        return nullptr;
    }

    QTreeWidgetItem* select(const std::string& label) {
        QTreeWidgetItem* found = item(label);
        view.setCurrentItem(found);
        return found;
    }

    static std::vector<std::string> labels(QTreeWidgetItem* parent) {
        std::vector<std::string> result;
        for (int i = 0; i < parent->childCount(); ++i)
            result.push_back(parent->child(i)->text(0).toStdString());
        return result;
    }

    // The file as it is on disk now, reloaded.
    static xml::Document reload(const std::string& path) {
        xml::Document doc = xml::Document::create();
        EXPECT_TRUE(doc.load(path)) << path;
        return doc;
    }

    // Titles of the TreeNode children of the element found by `titlePath`
    // (empty: the root), as the file on disk has them.
    static std::vector<std::string> titlesOnDisk(const std::string& path, const std::string& parentTitle = {}) {
        xml::Node parent = parentTitle.empty() ? reload(path).documentElement() : nodeOnDisk(path, parentTitle);
        std::vector<std::string> result;
        for (xml::Node n = parent ? parent.firstChild() : xml::Node(); n; n = n.nextSibling())
            if (n.nameIs("TreeNode"))
                result.push_back(n.attributeOr("Title"));
        return result;
    }

    static xml::Node nodeOnDisk(const std::string& path, const std::string& title) {
        for (const xml::Node& n : reload(path).getElementsByTagName("TreeNode"))
            if (n.attributeOr("Title") == title)
                return n;
        return {};
    }

    static void setClipboard(const std::string& text) {
        QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    }

    TempDir dir;
    std::string catPath, mainPath;
    RecordingMessageBoxes boxes;
    RecordingFrame frame;
    CLeftView view;

private:
    std::string previousHome_;
};

} // namespace kelvor::test
