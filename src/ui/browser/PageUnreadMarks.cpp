#include "browser/PageUnreadMarks.h"

#include "frame/FrameInterface.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace store = kelvor::store;

namespace {

// Entries match by link as the engine reads both addresses (the page's may be
// escaped where the file's is not), entries without one by title. A hot page
// lists one item per TreeNode in the file's order; a channel is found by that
// order and only taken when its name is the one expected.
const char* const kScript = R"JS(
(function (m) {
  var doc = document;
  if (!doc.getElementById('kelvor-marks-style')) {
    var style = doc.createElement('style');
    style.id = 'kelvor-marks-style';
    style.textContent =
      '.kelvor-count { margin-left: .25em; font-size: .75em; font-weight: normal; color: #1f6fc5; white-space: nowrap; }' +
      'h1 .kelvor-count { font-size: .6em; vertical-align: .15em; }' +
      'li.kelvor-read > h2 { font-weight: 400; }' +
      'li.kelvor-unread > h2 { font-weight: 700; }' +
      'li.kelvor-unread > h2::before, p.headline.kelvor-unread > a::before { content: ""; display: inline-block;' +
      '  width: .5em; height: .5em; margin-right: .45em; border-radius: 50%; background: #1f6fc5; vertical-align: .12em; }' +
      'p.headline.kelvor-unread > a { font-weight: 700; }';
    (doc.head || doc.documentElement).appendChild(style);
  }
  function address(href) {
    try { return new URL(href, doc.baseURI).href; } catch (e) { return href; }
  }
  function text(el) { return el ? el.textContent.replace(/\s+/g, ' ').trim() : ''; }
  function inPage(el) { return !el.closest('.desc'); }
  function showDate(el, shown) {
    if (!el || !shown) return;
    if (!el.hasAttribute('title')) el.setAttribute('title', el.textContent);
    el.textContent = shown;
  }
  function showCount(after, inside, unread) {
    var host = inside || after.parentElement;
    var count = inside ? host.querySelector(':scope > .kelvor-count')
                       : (after.nextElementSibling && after.nextElementSibling.classList.contains('kelvor-count')
                          ? after.nextElementSibling : null);
    if (unread <= 0) { if (count) count.remove(); return; }
    if (!count) {
      count = doc.createElement('span');
      count.className = 'kelvor-count';
      if (inside) inside.appendChild(count); else after.insertAdjacentElement('afterend', count);
    }
    count.textContent = '（' + unread + ' 条未读）';
  }
  if (m.kind === 'channel') {
    var byLink = new Map(), byTitle = new Map();
    m.entries.forEach(function (e) {
      if (e[0]) byLink.set(address(e[0]), e); else byTitle.set(e[1].replace(/\s+/g, ' ').trim(), e);
    });
    doc.querySelectorAll('ul.entries > li > h2').forEach(function (h) {
      if (!inPage(h)) return;
      var a = h.querySelector('a[href]');
      var e = a ? byLink.get(address(a.getAttribute('href'))) : byTitle.get(text(h));
      var unread = e ? e[2] : undefined;
      h.parentElement.classList.toggle('kelvor-unread', unread === true);
      h.parentElement.classList.toggle('kelvor-read', unread === false);
      if (e) showDate(h.parentElement.querySelector(':scope > .date'), e[3]);
    });
    var heading = doc.querySelector('header h1') || doc.querySelector('h1');
    if (heading) showCount(null, heading, m.unread);
  } else if (m.kind === 'hot') {
    var items = Array.prototype.filter.call(doc.querySelectorAll('main li'), inPage);
    m.channels.forEach(function (c) {
      var li = items[c.order];
      var name = li && li.querySelector(':scope > .name');
      if (!name || text(name) !== c.title.replace(/\s+/g, ' ').trim()) return;
      showCount(name, null, c.unread);
      var headline = li.querySelector(':scope > p.headline');
      if (headline) {
        headline.classList.toggle('kelvor-unread', c.headlineUnread);
        showDate(headline.querySelector(':scope > .date'), c.headlineDate);
      }
    });
  }
})
)JS";

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// The page's file when it is a local XML file (the only pages with marks).
QString localXmlFile(const QUrl& url) {
    QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    return path.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive) ? path : QString();
}

bool sameAddress(const std::string& link, const QUrl& url) {
    QUrl target(qs(link));
    return target.isValid() && target.adjusted(QUrl::NormalizePathSegments).toEncoded() ==
                                   url.adjusted(QUrl::NormalizePathSegments).toEncoded();
}

// The script that shows the marks on the page.
QString marksScript(const store::PageMarks& marks) {
    QJsonObject payload;
    QJsonArray entries, channels;
    for (const store::PageEntry& entry : marks.entries)
        entries.append(
            QJsonArray{qs(entry.link), qs(entry.title), entry.unread, qs(entry.shownDate)});
    for (const store::PageChannel& channel : marks.channels)
        channels.append(QJsonObject{{QStringLiteral("order"), channel.order},
                                    {QStringLiteral("title"), qs(channel.title)},
                                    {QStringLiteral("unread"), channel.unread},
                                    {QStringLiteral("headlineUnread"), channel.headlineUnread},
                                    {QStringLiteral("headlineDate"), qs(channel.headlineShownDate)}});
    payload.insert(QStringLiteral("kind"), marks.kind == store::PageMarks::kChannel
                                               ? QStringLiteral("channel")
                                               : QStringLiteral("hot"));
    payload.insert(QStringLiteral("unread"), marks.unread);
    payload.insert(QStringLiteral("entries"), entries);
    payload.insert(QStringLiteral("channels"), channels);
    return QString::fromUtf8(kScript).trimmed() + QLatin1Char('(') +
           QString::fromUtf8(QJsonDocument(payload).toJson(QJsonDocument::Compact)) +
           QStringLiteral(");");
}

} // namespace

PageUnreadMarks::PageUnreadMarks(QWebEnginePage* page) : QObject(page), page_(page) {
    connect(page, &QWebEnginePage::loadStarted, this, &PageUnreadMarks::loadStarted);
    connect(page, &QWebEnginePage::loadFinished, this, &PageUnreadMarks::loadFinished);
    QPointer<PageUnreadMarks> self(this);
    watch_ = kelvor::app::watchReadMarks([self](const std::string& cacheFile) {
        if (!self || !self->marks_.shows(cacheFile))
            return;
        if (self->fileChanged())
            self->page_->triggerAction(QWebEnginePage::Reload);
        else
            self->ask();
    });
}

PageUnreadMarks::~PageUnreadMarks() {
    kelvor::app::unwatchReadMarks(watch_);
}

void PageUnreadMarks::linkClicked(const QUrl& url) {
    auto* keeper = kelvor::app::readMarks();
    if (!keeper || path_.isEmpty())
        return;
    for (const store::PageEntry& entry : marks_.entries)
        if (entry.unread && !entry.link.empty() && sameAddress(entry.link, url))
            keeper->MarkLinkRead(marks_.cacheFile, entry.link);
    for (const store::PageChannel& channel : marks_.channels)
        if (channel.headlineUnread && !channel.headlineLink.empty() &&
            sameAddress(channel.headlineLink, url))
            keeper->MarkLinkRead(channel.cacheFile, channel.headlineLink);
}

void PageUnreadMarks::loadStarted() {
    // Whatever comes now is another page until it has loaded; an answer
    // still due is for the page that goes.
    path_.clear();
    marks_ = store::PageMarks();
    asking_ = askAgain_ = false;
}

void PageUnreadMarks::loadFinished(bool ok) {
    path_ = ok ? localXmlFile(page_->url()) : QString();
    QFileInfo file(path_);
    loadedTime_ = path_.isEmpty() ? QDateTime() : file.lastModified();
    loadedSize_ = path_.isEmpty() ? -1 : file.size();
    marks_ = store::PageMarks();
    if (!path_.isEmpty())
        ask();
}

bool PageUnreadMarks::fileChanged() const {
    if (path_.isEmpty())
        return false;
    QFileInfo file(path_);
    return file.exists() && (file.lastModified() != loadedTime_ || file.size() != loadedSize_);
}

void PageUnreadMarks::ask() {
    auto* keeper = kelvor::app::readMarks();
    if (!keeper || path_.isEmpty())
        return;
    // One question at a time: changes that come meanwhile ask once more.
    if (asking_) {
        askAgain_ = true;
        return;
    }
    asking_ = true;
    QPointer<PageUnreadMarks> self(this);
    QString path = path_;
    keeper->RequestPageMarks(path.toStdString(), [self, path](const store::PageMarks& marks) {
        if (self)
            self->answered(path, marks);
    });
}

void PageUnreadMarks::answered(const QString& path, const store::PageMarks& marks) {
    asking_ = false;
    if (path == path_ && marks.kind != store::PageMarks::kNone) {
        marks_ = marks;
        page_->runJavaScript(marksScript(marks), QWebEngineScript::ApplicationWorld);
    }
    if (askAgain_) {
        askAgain_ = false;
        ask();
    }
}
