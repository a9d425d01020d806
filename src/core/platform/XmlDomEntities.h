// The entities a document declares for itself, read once at load and never
// again: a reference left in the tree is expanded every time its text is
// read or its copy saved, and the declarations would travel with every
// saved copy. A 1 MB entity named a thousand times in a 1 MB feed is a
// gigabyte of text that way.
#pragma once

#include <libxml/tree.h>

#include <cstddef>

namespace kelvor::xml {

// What expanding its entities may add to a document of inputSize bytes: a
// few times its size, and never past the size of the largest download.
size_t entityExpansionBudget(size_t inputSize);

enum class InlineResult { Done, OverBudget, OutOfMemory };

// Replaces every entity reference of doc, in content and in attribute
// values, by a copy of what it stands for, then removes the document type.
// Stops at the reference whose copy would bring the copies past budget bytes
// (its line in failedLine); the document is then only fit to be freed.
InlineResult inlineEntities(xmlDocPtr doc, size_t budget, int& failedLine);

} // namespace kelvor::xml
