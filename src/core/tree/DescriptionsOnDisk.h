// The channel copies the tree shows can hold tens of megabytes, most of it
// descriptions, read one at a time when an entry is opened or copied. The
// tree keeps their documents without them and reads the one it needs from
// the file: a thousand channels open took ten times the memory before.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace kelvor::tree {

// Empties the descriptions of a document loaded from a local file and
// marks it so: such a document must never be saved (saveOwnerDocument
// refuses it).
void leaveDescriptionsOnDisk(const xml::Document& doc);
// Loads a local tree file as leaveDescriptionsOnDisk leaves it, without
// reading the descriptions into memory first. False as Document::load.
bool loadLeavingDescriptionsOnDisk(xml::Document& doc, const std::string& path);
bool descriptionsOnDisk(const xml::Document& doc);

// Drops the Date of every item of such a document: the tree reads it only
// for the entries' keys, which it takes as it loads them.
void leaveDatesOnDisk(const xml::Document& doc);

// The node's description: its own, or for a document whose descriptions
// were left on disk, that of the same entry in the file now (found by its
// place, else by its title and link; empty when the file no longer has it).
std::string descriptionOf(const xml::Node& node);

} // namespace kelvor::tree
