// The web profile the pages share: cookies, cache and downloads.
#pragma once

class QObject;
class QWebEngineProfile;

namespace kelvor::browser {

// A persistent profile kept in $XDG_STATE_HOME/Kelvor/browser (cache in the
// user's cache folder); in test mode an off-the-record one, so tests leave
// nothing behind. Downloads ask where to save.
QWebEngineProfile* createBrowserProfile(QObject* parent);

} // namespace kelvor::browser
