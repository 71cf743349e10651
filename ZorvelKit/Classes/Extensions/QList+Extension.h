// Lists of activity types made flat: every type of the account in one list,
// each group followed at once by everything inside it.
#pragma once

#include "ActivityType.h"

#include <QList>

namespace Extension {

// Depth-first pre-order: each element, then (for a group) the flattening of
// its children; absent children count as empty. Duplicates are kept. A group
// met again inside its own descendants is listed but not entered a second
// time, so the walk ends on any input, however it was built. Iterative, so a
// deep nesting needs no deep call stack.
QList<ActivityTypePtr> flatten(const QList<ActivityTypePtr> &types);

} // namespace Extension
