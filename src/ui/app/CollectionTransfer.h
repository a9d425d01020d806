// Bringing a collection in and taking it out in the formats other programs
// use: OPML subscription lists both ways, and browsers' bookmarks files in.
// Each import makes a new category, listed last under 我的收藏.
#pragma once

#include <QString>

class CLeftView;
class QWidget;

namespace kelvor::app {

// The commands: ask for the file, then do the work below.
void importChannelList(QWidget* parent, CLeftView* tree);
void importBookmarks(QWidget* parent, CLeftView* tree);
void exportChannelList(QWidget* parent);

enum class ImportKind { ChannelList, Bookmarks };

// Imports the file into a new category of the home folder and lists it in
// the tree; tells the user what was imported or why nothing was.
void importInto(CLeftView* tree, ImportKind kind, const QString& file);
// Writes the channels reachable from index.xml as OPML; false (after
// telling the user) when it cannot.
bool exportTo(const QString& file);

} // namespace kelvor::app
