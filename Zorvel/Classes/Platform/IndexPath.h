// The address of one item in a sectioned collection: section and item, both
// counted from 0. Ordered by section, then item, as the collection view walks them.
#pragma once

#include <QDebug>
#include <QHashFunctions>
#include <QtGlobal>
#include <compare>

struct IndexPath
{
    qint64 section = 0;
    qint64 item = 0;

    friend bool operator==(const IndexPath &, const IndexPath &) = default;
    friend auto operator<=>(const IndexPath &, const IndexPath &) = default;
};

inline size_t qHash(const IndexPath &indexPath, size_t seed = 0)
{
    return qHashMulti(seed, indexPath.section, indexPath.item);
}

inline QDebug operator<<(QDebug debug, const IndexPath &indexPath)
{
    QDebugStateSaver saver(debug);
    debug.nospace() << "IndexPath(" << indexPath.section << ", " << indexPath.item << ')';
    return debug;
}
