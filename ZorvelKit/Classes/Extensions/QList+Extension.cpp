// Lists of activity types made flat: the walk behind Extension::flatten.
#include "QList+Extension.h"

#include <QSet>

namespace Extension {

QList<ActivityTypePtr> flatten(const QList<ActivityTypePtr> &types)
{
    struct Level
    {
        const QList<ActivityTypePtr> *items;
        qsizetype next;
        const ActivityTypeGroup *group; // the group whose children these are; null at the top
    };

    QList<ActivityTypePtr> result;
    result.reserve(types.size());
    QSet<const ActivityTypeGroup *> onPath;
    QList<Level> stack {{&types, 0, nullptr}};
    while (!stack.isEmpty()) {
        Level &level = stack.last();
        if (level.next == level.items->size()) {
            onPath.remove(level.group);
            stack.removeLast();
            continue;
        }
        const ActivityTypePtr &item = level.items->at(level.next++);
        result.append(item);
        const auto *group = dynamic_cast<const ActivityTypeGroup *>(item.get());
        if (!group || !group->children() || group->children()->isEmpty() || onPath.contains(group))
            continue;
        onPath.insert(group);
        // The pointer stays valid: the group is held by the list it sits in,
        // and nothing changes the tree while we walk it.
        stack.append({&*group->children(), 0, group});
    }
    return result;
}

} // namespace Extension
