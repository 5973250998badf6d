#pragma once
// Upkeep of a configuration's value store.

#include "configuration.h"

namespace vexilo {

// Storing an object over an existing one gives it a fresh value block and leaves the old
// block unused, so a list that is edited often runs out of value space long before it holds
// 40000 bytes of values. This moves the blocks of the counted objects together, in object
// order, and frees the rest. Values and object order are unchanged. An object whose block
// lies outside the store (never made by the reader) keeps a zeroed block.
void compact_object_data(Configuration& config);

}  // namespace vexilo
