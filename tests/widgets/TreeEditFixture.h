// A small collection in a temporary home folder, loaded as the reader loads
// it, for the tests of opening and editing items:
//   main.xml (no Type)   我的收藏 -> /fav/cat.xml, 公共 { 公共链接 }
//   fav/cat.xml (fav)    链接甲, 文本乙 (Desc), 子树丙 -> /fav/sub.xml, 目录丁 { 丁一 丁二 丁三 }
//   fav/sub.xml (fav)    子项一
#pragma once

#include "platform/HomeFolder.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "navtree/CLeftView.h"

#include <QApplication>
#include <QClipboard>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

namespace kelvor::test {

using Titles = std::vector<std::string>;

class TreeEditFixture : public ::testing::Test {
protected:
    TreeEditFixture() : previousHome_(platform::programFolder()) {
        platform::setProgramFolder(dir.path());
        QGuiApplication::clipboard()->clear();
        catPath = dir.write("fav/cat.xml", R"(<?xml version="1.0" encoding="utf-8"?><Tree Type="fav">
  <TreeNode Title="链接甲" Href="http://a.example/"/><TreeNode Title="文本乙"><Desc>乙的描述</Desc></TreeNode>
  <TreeNode Title="子树丙" NodeSrc="/fav/sub.xml"/>
  <TreeNode Title="目录丁"><TreeNode Title="丁一" Href="http://d1/"/><TreeNode Title="丁二"/><TreeNode Title="丁三"/></TreeNode>
</Tree>)");
        subPath = dir.write("fav/sub.xml", R"(<Tree Type="fav"><TreeNode Title="子项一" Href="http://sub1/"/></Tree>)");
        mainPath = dir.write("main.xml", R"(<Tree><TreeNode Title="我的收藏" NodeSrc="/fav/cat.xml"/>
  <TreeNode Title="公共"><TreeNode Title="公共链接" Href="http://p1/"/></TreeNode></Tree>)");
    }
    ~TreeEditFixture() override { platform::setProgramFolder(previousHome_); }

    void SetUp() override {
        ASSERT_TRUE(view.LoadTreeFile(mainPath, view.rootItem()));
        loadInto(item("我的收藏"), catPath);
        item("公共")->setExpanded(true);
        item("目录丁")->setExpanded(true);
    }

    // Loads a file into an item, as expanding a local sub-tree does.
    void loadInto(QTreeWidgetItem* parent, const std::string& path) {
        static_cast<CTreeItem*>(parent)->expandedOnce = true;
        view.DeleteFirstChild(parent);
        ASSERT_TRUE(view.LoadTreeFile(path, parent));
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
        view.setCurrentItem(item(label));
        return view.currentItem();
    }

    static Titles labels(QTreeWidgetItem* parent) {
        Titles result;
        for (int i = 0; i < parent->childCount(); ++i)
            result.push_back(parent->child(i)->text(0).toStdString());
        return result;
    }

    // The file as it is on disk now: an element by title, or the titles of
    // the items under the root (or under the element titled `parent`).
    static xml::Node nodeOnDisk(const std::string& path, const std::string& title) {
        xml::Document doc = xml::Document::create();
        EXPECT_TRUE(doc.load(path)) << path;
        if (title.empty())
            return doc.documentElement();
        for (const xml::Node& n : doc.getElementsByTagName("TreeNode"))
            if (n.attributeOr("Title") == title)
                return n;
        return {};
    }
    static Titles titlesOnDisk(const std::string& path, const std::string& parent = {}) {
        Titles result;
        xml::Node top = nodeOnDisk(path, parent);
        for (xml::Node n = top ? top.firstChild() : xml::Node(); n; n = n.nextSibling())
            if (n.nameIs("TreeNode"))
                result.push_back(n.attributeOr("Title"));
        return result;
    }

    static void setClipboard(const std::string& text) {
        QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    }

    TempDir dir;
    std::string catPath, subPath, mainPath;
    RecordingMessageBoxes boxes;
    RecordingFrame frame;
    CLeftView view;

private:
    std::string previousHome_;
};

} // namespace kelvor::test
