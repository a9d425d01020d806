#include "browser/DescriptionPage.h"

#include "frame/Addresses.h"

namespace kelvor::browser {
namespace {
const QString kPlaceholder = QStringLiteral("##ITEMDESC##");
} // namespace

QString descriptionTemplate() {
    // Descriptions come from feeds as well as from the user: markup is
    // welcome, scripts and plug-ins are not.
    return QStringLiteral(
               "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
               "<meta http-equiv=\"Content-Security-Policy\" content=\"script-src 'none'; object-src 'none'\">"
               "<style>td,body,input{font-size:14px;line-height:150%}</style>"
               "<title>您现在查看的是项目描述</title></head>"
               "<body style=\"margin-top:0\">"
               "<table width=\"100%\" height=\"40\"><tr>"
               "<td width=\"20%\"><a href=\"##HOMELINK##\" style=\"color:black\">万象汇览</a></td>"
               "<td width=\"80%\" align=\"center\">您现在浏览的是项目描述内容,修改内容请在导航栏中选择属性！</td>"
               "</tr></table>"
               "<table width=\"100%\" style=\"border:1px solid #8EB3FF\" cellspacing=\"3\" cellpadding=\"3\">"
               "<tr><td>##ITEMDESC##</td></tr></table>"
               "</body></html>")
        .replace(QStringLiteral("##HOMELINK##"), QLatin1String(kelvor::addr::kDescriptionLink));
}

QString descriptionPage(const QString& description) {
    QString page = descriptionTemplate();
    int at = page.indexOf(kPlaceholder);
    if (at >= 0)
        page.replace(at, kPlaceholder.size(), description);
    return page;
}

QUrl descriptionBaseUrl() { return QUrl(QStringLiteral("about:blank")); }

} // namespace kelvor::browser
