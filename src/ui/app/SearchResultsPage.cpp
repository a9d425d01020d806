#include "app/SearchResultsPage.h"

#include <algorithm>

#include "platform/AddressPolicy.h"
#include "store/EntryDate.h"

#include <QRegularExpression>

namespace kelvor::app {
namespace {

const char* const kStyle = R"(
body { margin: 0; background: #f7f8fa; color: #2b3036;
       font: 15px/1.65 system-ui, "Noto Sans CJK SC", "Noto Sans SC", sans-serif; }
.page { max-width: 52em; margin: 0 auto; padding: 1.5em 2em; }
h1 { font-size: 1.3em; font-weight: 600; margin: 0 0 1em; padding-bottom: .4em;
     border-bottom: 1px solid #dde1e6; }
a { color: #1d5a91; text-decoration: none; }
a:hover { text-decoration: underline; }
ul { list-style: none; margin: 0; padding: 0; }
li { margin: 0 0 1em; }
.name { font-weight: 600; }
.where { margin-left: .6em; color: #4a6a8a; font-size: .85em; }
.date { margin-left: .6em; color: #7d868f; font-size: .85em; }
.show { margin-left: .6em; font-size: .85em; }
.desc { margin: .2em 0 0; color: #4a5058; font-size: .95em; overflow-wrap: anywhere; }
mark { background: #ffe58a; color: inherit; padding: 0 .1em; }
.empty { color: #7d868f; }
.more { margin: 1.2em 0 0; color: #7d868f; }
)";

// The page runs no script at all, its own included: what it shows (titles,
// snippets, links) comes from feeds. Its links only change the fragment or
// leave it; inline style is its own.
const char* const kPolicy = "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; "
                            "form-action 'none'";

QString hitItem(const store::Hit& hit, int index, const QStringList& words) {
    QString title = QString::fromStdString(hit.title);
    std::string link = hitAddress(hit);
    QString target = link.empty() ? QStringLiteral("#open-%1").arg(index)
                                  : QString::fromStdString(link).toHtmlEscaped();
    QString html =
        QStringLiteral("<li><a class=\"name\" href=\"%1\">%2</a>")
            .arg(target, markMatches(title.isEmpty() ? QStringLiteral("(无标题)") : title, words));
    QString place = QString::fromStdString(hit.place);
    if (hit.history)
        place += QStringLiteral(" · 历史条目");
    html += QStringLiteral("<span class=\"where\">%1</span>").arg(place.toHtmlEscaped());
    if (!hit.date.empty())
        html += QStringLiteral("<span class=\"date\">%1</span>")
                    .arg(QString::fromStdString(kelvor::store::shownDate(hit.date)).toHtmlEscaped());
    html += QStringLiteral("<a class=\"show\" href=\"#show-%1\">在导航栏中显示</a>").arg(index);
    if (!hit.snippet.empty())
        html += QStringLiteral("<div class=\"desc\">%1</div>")
                    .arg(markMatches(QString::fromStdString(hit.snippet), words));
    return html + QStringLiteral("</li>\n");
}

} // namespace

// A link the policy refuses opens the hit's description instead.
std::string hitAddress(const store::Hit& hit) {
    return platform::acceptedAddress(hit.link, platform::AddressOrigin::Web);
}

QUrl searchResultsBaseUrl() {
    return QUrl(QStringLiteral("https://search.kelvor.invalid/"));
}

QString markMatches(const QString& text, const QStringList& words) {
    QStringList patterns;
    for (const QString& word : words)
        if (!word.isEmpty())
            patterns << QRegularExpression::escape(word);
    if (patterns.isEmpty())
        return text.toHtmlEscaped();
    QRegularExpression any(patterns.join(QLatin1Char('|')),
                           QRegularExpression::CaseInsensitiveOption);
    QString html;
    qsizetype done = 0;
    for (auto it = any.globalMatch(text); it.hasNext();) {
        QRegularExpressionMatch match = it.next();
        html += text.mid(done, match.capturedStart() - done).toHtmlEscaped();
        html +=
            QStringLiteral("<mark>") + match.captured().toHtmlEscaped() + QStringLiteral("</mark>");
        done = match.capturedEnd();
    }
    return html + text.mid(done).toHtmlEscaped();
}

QString searchResultsPage(const std::vector<store::Hit>& hits, const QString& query,
                          int64_t total) {
    const auto shown = static_cast<int64_t>(hits.size());
    total = std::max(total, shown);
    QStringList words;
    for (const std::string& word : store::queryWords(query.toStdString()))
        words << QString::fromStdString(word);
    // One arg() call: a second would read a "%1" typed in the query as its
    // own place.
    QString html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                                  "<meta http-equiv=\"Content-Security-Policy\" content=\"%4\">"
                                  "<title>查找：%1</title><style>%2</style></head>"
                                  "<body><div class=\"page\"><h1>查找“%1”：%3 项</h1>")
                       .arg(query.toHtmlEscaped(), QString::fromUtf8(kStyle),
                            QString::number(total), QString::fromUtf8(kPolicy));
    if (hits.empty())
        html += QStringLiteral("<p class=\"empty\">收藏、笔记和频道中没有找到这些文字。</p>");
    html += QStringLiteral("<ul>\n");
    for (size_t i = 0; i < hits.size(); ++i)
        html += hitItem(hits[i], static_cast<int>(i), words);
    html += QStringLiteral("</ul>");
    if (total > shown)
        html += QStringLiteral("<p class=\"more\"><a href=\"#more\">更多结果</a>"
                               "（已显示 %1 项，共 %2 项）</p>")
                    .arg(QString::number(shown), QString::number(total));
    return html + QStringLiteral("</div></body></html>");
}

} // namespace kelvor::app
