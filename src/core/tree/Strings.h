// The program's fixed texts, shared by the core and the widgets. Numbered
// entries keep the numbers the rest of the program refers to them by.
#pragma once

namespace kelvor::str {

constexpr const char* kAppTitle = "万象汇览";                        // 57344
constexpr const char* kIdleStatus = "查看内容请从导航栏中开始";        // 57345
constexpr const char* kLoading = "正在加载中...";
constexpr const char* kUpdating = "正在更新中...";
constexpr const char* kLoadFileCaption = "加载文件:";
constexpr const char* kEmptyDocument = "空的文档!";
constexpr const char* kEmptyDocumentCaption = "加载文件错误!";
constexpr const char* kDownloadingStatus = "当前在下载任务:";
constexpr const char* kLoadErrorPrefix = "加载错误:";
constexpr const char* kCannotStartThread = "Cannot Start New Thread";

// 61204
constexpr const char* kNotEditable =
    "您当前选择的是一个类别不可以编辑，请选择＂我的收藏＂下面的分类或＂热点关注＂下面的分类!";
// 61206
constexpr const char* kNoDescription = "您查看的项目当前还没有描述！";
// 61207
constexpr const char* kFavTemplate =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><?xml-stylesheet type=\"text/xsl\" href=\"fav.xsl\" ?>"
    "<Tree Type=\"fav\" Title=\"##TITLE##\"><TreeNode Title=\"新建收藏夹\"/></Tree>";
// 61208
constexpr const char* kHotTemplate =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><?xml-stylesheet type=\"text/xsl\" href=\"hot.xsl\" ?>"
    "<Tree Type=\"hot\" Title=\"##TITLE##\"><TreeNode Title=\"新建热点分类\"/></Tree>";
// 61209
constexpr const char* kSaveFailed = "保存文件发生错误，请确认当前文件路经是否有效！";
// 61210
constexpr const char* kConfirmClearCache = "您确实要清除所有缓存文件？";

constexpr const char* kNewItemText = "新建项目";
constexpr const char* kEmptyTitle = "标题不可以为空";
constexpr const char* kCreateFileFailed = "创建文件失败，请检查路径和文件名有否有效";

} // namespace kelvor::str
