// Loading a tree file of 10,000 first-level items, and expanding an item with
// 10,000 inline children, each beside libxml2 parsing the same file alone.
// The tree's own work should cost no more than the parse plus 10 us an item.
#include "TempPath.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "platform/XmlDom.h"

#include <QApplication>

#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr int kItems = 10000;

std::string itemXml(int i) {
    std::string n = std::to_string(i);
    switch (i % 4) {
    case 0:
        return "<TreeNode Title=\"链接 " + n + "\" Href=\"https://example.org/page/" + n + "\"/>";
    case 1:
        return "<TreeNode Title=\"说明 " + n + "\"><Desc><![CDATA[<p>第 " + n +
               " 条说明</p>]]></Desc></TreeNode>";
    case 2:
        return "<TreeNode Title=\"频道 " + n + "\" Rss=\"https://example.org/feed/" + n +
               ".xml\"/>";
    default:
        return "<TreeNode Title=\"目录 " + n +
               "\" Img=\"fav\"><TreeNode Title=\"子项\"/></TreeNode>";
    }
}

std::string writeFile(const std::string& name, const std::string& body) {
    std::string path = kelvor::bench::tempPath(name);
    std::ofstream(path) << body;
    return path;
}

const std::string& flatFile() {
    static std::string path = [] {
        std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Tree Type=\"fav\">\n";
        for (int i = 0; i < kItems; ++i)
            body += "  " + itemXml(i) + "\n";
        return writeFile("kelvor-bench-flat.xml", body + "</Tree>\n");
    }();
    return path;
}

const std::string& nestedFile() {
    static std::string path = [] {
        std::string body =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Tree>\n <TreeNode Title=\"大目录\">\n";
        for (int i = 0; i < kItems; ++i)
            body += "  " + itemXml(i) + "\n";
        return writeFile("kelvor-bench-nested.xml", body + " </TreeNode>\n</Tree>\n");
    }();
    return path;
}

// The floor: read the file and let libxml2 parse it, nothing else.
void parseOnly(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                      nullptr, XML_PARSE_NONET);
        if (!doc)
            state.SkipWithError("parse failed");
        xmlFreeDoc(doc);
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}

void BM_Libxml2ParseOnly(benchmark::State& state) {
    parseOnly(state, flatFile());
}
BENCHMARK(BM_Libxml2ParseOnly)->Unit(benchmark::kMillisecond);

void BM_DomLoad(benchmark::State& state) {
    const std::string& path = flatFile();
    for (auto _ : state) {
        kelvor::xml::Document doc = kelvor::xml::Document::create();
        benchmark::DoNotOptimize(doc.load(path));
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_DomLoad)->Unit(benchmark::kMillisecond);

void BM_LoadTreeFile(benchmark::State& state) {
    const std::string& path = flatFile();
    CLeftView view;
    for (auto _ : state) {
        view.LoadTreeFile(path, view.rootItem());
        state.PauseTiming();
        if (view.topLevelItemCount() != kItems)
            state.SkipWithError("wrong item count");
        view.clear();
        view.categories.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_LoadTreeFile)->Unit(benchmark::kMillisecond);

void BM_ExpandInlineChildren(benchmark::State& state) {
    const std::string& path = nestedFile();
    CLeftView view;
    for (auto _ : state) {
        state.PauseTiming();
        view.clear();
        view.LoadTreeFile(path, view.rootItem());
        QTreeWidgetItem* folder = view.topLevelItem(0);
        state.ResumeTiming();
        folder->setExpanded(true);
        state.PauseTiming();
        if (folder->childCount() != kItems)
            state.SkipWithError("wrong child count");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_ExpandInlineChildren)->Unit(benchmark::kMillisecond);

void BM_Libxml2ParseNestedOnly(benchmark::State& state) {
    parseOnly(state, nestedFile());
}
BENCHMARK(BM_Libxml2ParseNestedOnly)->Unit(benchmark::kMillisecond);

} // namespace
