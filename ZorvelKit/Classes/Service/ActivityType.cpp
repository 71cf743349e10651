// The records' JSON in both directions: the type-list and activity-list
// decodings, the upload body, and the wire's time conversions.
//
// The decodings never stop the program, whatever the service sends. Readings
// chosen for input outside the documented shape:
//  - A top-level value that is not an array decodes to an empty list (the
//    client reports such an answer as an error before it gets here).
//  - An element that is not an object is skipped, in both lists and in
//    "intervals".
//  - A string field ("id", "name", "imageId", "comment", "typeId", interval
//    "id") that is missing, null or of another kind stays as in a new record:
//    a null QString, which reads as empty. A type without a usable "id" is
//    decoded but enters no map, so no element can name it as its parent.
//  - "group": only JSON true makes a group.
//  - "color", "order": a number is truncated toward zero; a negative number
//    gives 0 and one above 2^64 - 1 gives 2^64 - 1. Any other kind gives 0.
//  - "parentId": only a string names a parent; any other kind counts as null,
//    so the element is a root.
//  - A parent chain is followed through the map of the latest element per
//    "id". An element whose chain reaches an element without parent only
//    through groups is kept; one whose chain names no element, passes through
//    a plain type (which has no children to hold it), or loops back on itself
//    (a self-parent included) is dropped together with everything below it.
//    So the children lists hold no cycle and nothing walks forever; the walk
//    is iterative and memoised, linear in the number of elements.
//  - "start": null leaves it absent; a number, a missing key or any other kind
//    is read as a time, the non-numbers as 0 (1970).
//  - "status": anything but the three exact strings leaves the state stopped.
//  - "intervals": anything but an array gives an empty list.
//  - Interval "from"/"to": a number is read as a time; anything else leaves
//    the date absent (which duration and the upload body count as 0).
//  - Times are 32-bit: seconds below -2^31 or above 2^31 - 1 saturate to the
//    nearest bound, both when read and when written.
//  - The upload body writes an absent guid or typeId as null and an absent
//    comment as "".
#include "ActivityType.h"

#include <QHash>
#include <QJsonArray>
#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

constexpr auto kId = "id"_L1;
constexpr auto kName = "name"_L1;
constexpr auto kGroup = "group"_L1;
constexpr auto kColor = "color"_L1;
constexpr auto kOrder = "order"_L1;
constexpr auto kParentId = "parentId"_L1;
constexpr auto kImageId = "imageId"_L1;
constexpr auto kComment = "comment"_L1;
constexpr auto kTypeId = "typeId"_L1;
constexpr auto kStart = "start"_L1;
constexpr auto kStatus = "status"_L1;
constexpr auto kIntervals = "intervals"_L1;
constexpr auto kFrom = "from"_L1;
constexpr auto kTo = "to"_L1;

QString stringOrNull(const QJsonValue &value)
{
    return value.isString() ? value.toString() : QString();
}

quint64 unsignedFromJSON(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    // Integers that fit in 64 bits are kept exactly; doubles lose what a
    // double cannot hold anyway.
    const qint64 exact = value.toInteger(-1);
    if (exact >= 0)
        return quint64(exact);
    const double d = value.toDouble();
    if (!(d > 0)) // negative, zero, NaN
        return 0;
    if (d >= 18446744073709551616.0) // 2^64
        return std::numeric_limits<quint64>::max();
    return quint64(d);
}

qint32 truncatedSeconds(double seconds)
{
    if (std::isnan(seconds))
        return 0;
    if (seconds >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (seconds <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(seconds); // truncates toward zero
}

double secondsSince1970(const std::optional<QDateTime> &date)
{
    if (!date || !date->isValid())
        return 0;
    return double(date->toMSecsSinceEpoch()) / 1000.0;
}

std::optional<QDateTime> optionalTime(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    return WireTime::fromJSON(value);
}

QJsonValue stringOrJSONNull(const QString &string)
{
    return string.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(string);
}

QLatin1StringView statusText(ActivityState state)
{
    if (state == ActivityStateStopped)
        return "stopped"_L1;
    if (state == ActivityStatePaused)
        return "paused"_L1;
    return "running"_L1;
}

// Stable, smaller order first. Most groups are small: an insertion sort needs
// no buffer there, where std::stable_sort would allocate one per group.
void sortByOrder(QList<ActivityTypePtr> &types)
{
    const auto byOrder = [](const ActivityTypePtr &a, const ActivityTypePtr &b) {
        return a->order() < b->order();
    };
    if (types.size() > 32) {
        std::stable_sort(types.begin(), types.end(), byOrder);
        return;
    }
    for (qsizetype i = 1; i < types.size(); ++i) {
        for (qsizetype j = i; j > 0 && byOrder(types[j], types[j - 1]); --j)
            std::swap(types[j], types[j - 1]);
    }
}

} // namespace

namespace WireTime {

QDateTime fromJSON(const QJsonValue &seconds)
{
    return QDateTime::fromSecsSinceEpoch(truncatedSeconds(seconds.toDouble(0)), Qt::UTC);
}

qint32 toSeconds(const std::optional<QDateTime> &date)
{
    return truncatedSeconds(secondsSince1970(date));
}

} // namespace WireTime

qint32 Interval::duration() const
{
    return truncatedSeconds(secondsSince1970(m_to) - secondsSince1970(m_from));
}

ActivityTypeGroup::~ActivityTypeGroup()
{
    // Letting each group free its children would recurse once per level of
    // nesting; a long parent chain could then exhaust the stack. Instead the
    // children that only we hold give up their own children to a work list.
    if (!m_children)
        return;
    QList<ActivityTypePtr> pending = std::move(*m_children);
    m_children.reset();
    while (!pending.isEmpty()) {
        ActivityTypePtr last = pending.takeLast();
        if (last.use_count() != 1)
            continue;
        if (auto *group = dynamic_cast<ActivityTypeGroup *>(last.get()); group && group->m_children) {
            pending.append(*group->m_children);
            group->m_children.reset();
        }
    }
}

const ActivityTypePtr &ActivityType::upType()
{
    static const ActivityTypePtr up = std::make_shared<ActivityType>();
    return up;
}

QList<ActivityTypePtr> ActivityType::typesFromJSON(const QJsonValue &json)
{
    if (!json.isArray())
        return {};
    const QJsonArray array = json.toArray();

    // One row of scratch per decoded element, in list order.
    enum class Reach : quint8 { Unknown, OnPath, Kept, Dropped };
    struct Entry
    {
        ActivityTypePtr type;
        ActivityTypeGroup *group = nullptr; // null for plain types
        qsizetype parent = -1; // index of the parent row, once known
        qsizetype childCount = 0;
        QList<ActivityTypePtr> children;
        Reach reach = Reach::Unknown;
    };
    QList<Entry> entries;
    entries.reserve(array.size());
    QHash<QString, qsizetype> indexById;
    indexById.reserve(array.size());

    // Pass 1: one record per object element, and the map of the latest per id.
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            continue;
        const QJsonObject object = element.toObject();
        Entry entry;
        if (object.value(kGroup).toBool(false)) {
            auto group = std::make_shared<ActivityTypeGroup>();
            entry.group = group.get();
            entry.type = std::move(group);
        } else {
            entry.type = std::make_shared<ActivityType>();
        }
        ActivityType &type = *entry.type;
        type.setName(stringOrNull(object.value(kName)));
        type.setGuid(stringOrNull(object.value(kId)));
        type.setColor(unsignedFromJSON(object.value(kColor)));
        type.setOrder(unsignedFromJSON(object.value(kOrder)));
        if (const QJsonValue parent = object.value(kParentId); parent.isString())
            type.setParentGuid(parent.toString());
        type.setImageId(stringOrNull(object.value(kImageId)));
        if (!type.guid().isNull())
            indexById.insert(type.guid(), entries.size());
        entries.append(std::move(entry));
    }

    // Which records hang, through groups only, from a root. An iterative walk
    // up each chain, memoised, so that deep chains cost linear time and loops
    // end as soon as the walk meets its own path.
    const qsizetype count = entries.size();
    QList<qsizetype> path;
    for (qsizetype start = 0; start < count; ++start) {
        qsizetype i = start;
        Reach verdict = Reach::Unknown;
        while (verdict == Reach::Unknown) {
            Entry &entry = entries[i];
            if (entry.reach == Reach::Kept || entry.reach == Reach::Dropped) {
                verdict = entry.reach;
                break;
            }
            if (entry.reach == Reach::OnPath) {
                verdict = Reach::Dropped; // a loop
                break;
            }
            const std::optional<QString> &parentGuid = entry.type->parentGuid();
            if (!parentGuid) {
                verdict = entry.reach = Reach::Kept;
                break;
            }
            const auto found = indexById.constFind(*parentGuid);
            if (found == indexById.cend() || !entries[*found].group) {
                verdict = entry.reach = Reach::Dropped;
                break;
            }
            entry.reach = Reach::OnPath;
            entry.parent = *found;
            path.append(i);
            i = *found;
        }
        for (const qsizetype onPath : std::as_const(path))
            entries[onPath].reach = verdict;
        path.clear();
    }

    // Pass 2: every kept record with a parent goes to that parent, in list
    // order; the lists are sized first so each is allocated once.
    for (const Entry &entry : std::as_const(entries)) {
        if (entry.reach == Reach::Kept && entry.parent >= 0)
            ++entries[entry.parent].childCount;
    }
    for (const Entry &entry : std::as_const(entries)) {
        if (entry.reach != Reach::Kept || entry.parent < 0)
            continue;
        Entry &parent = entries[entry.parent];
        if (parent.children.isEmpty())
            parent.children.reserve(parent.childCount);
        parent.children.append(entry.type);
    }

    // Pass 3: the roots, and every group's children, sorted by order. A group
    // that received nothing keeps its children absent.
    QList<ActivityTypePtr> roots;
    for (Entry &entry : entries) {
        if (entry.reach != Reach::Kept)
            continue;
        if (entry.parent < 0)
            roots.append(entry.type);
        if (!entry.children.isEmpty()) {
            sortByOrder(entry.children);
            entry.group->setChildren(std::move(entry.children));
        }
    }
    sortByOrder(roots);
    return roots;
}

QJsonObject Activity::dict() const
{
    QJsonArray intervals;
    for (const IntervalPtr &interval : m_intervals) {
        if (!interval)
            continue;
        QJsonObject object;
        object.insert(kId, stringOrJSONNull(interval->guid()));
        object.insert(kFrom, WireTime::toSeconds(interval->from()));
        object.insert(kTo, WireTime::toSeconds(interval->to()));
        intervals.append(object);
    }

    QJsonObject body;
    body.insert(kId, stringOrJSONNull(guid()));
    body.insert(kTypeId, stringOrJSONNull(m_typeId));
    body.insert(kComment, m_comment.isNull() ? u""_s : m_comment);
    body.insert(kStatus, QString(statusText(m_state)));
    body.insert(kStart, m_start ? QJsonValue(WireTime::toSeconds(m_start)) : QJsonValue(QJsonValue::Null));
    body.insert(kIntervals, intervals);
    return body;
}

QList<ActivityPtr> Activity::activitiesFromJSON(const QJsonValue &json)
{
    if (!json.isArray())
        return {};
    const QJsonArray array = json.toArray();

    QList<ActivityPtr> result;
    result.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            continue;
        const QJsonObject object = element.toObject();
        auto activity = std::make_shared<Activity>();
        activity->setGuid(stringOrNull(object.value(kId)));
        activity->setComment(stringOrNull(object.value(kComment)));
        activity->setTypeId(stringOrNull(object.value(kTypeId)));

        const QJsonValue start = object.value(kStart);
        if (!start.isNull())
            activity->setStart(WireTime::fromJSON(start));

        const QJsonValue status = object.value(kStatus);
        if (status.isString()) {
            const QString text = status.toString();
            if (text == "running"_L1)
                activity->setState(ActivityStateRunning);
            else if (text == "paused"_L1)
                activity->setState(ActivityStatePaused);
            else if (text == "stopped"_L1)
                activity->setState(ActivityStateStopped);
        }

        QList<IntervalPtr> intervals;
        const QJsonValue intervalsValue = object.value(kIntervals);
        if (intervalsValue.isArray()) {
            const QJsonArray intervalArray = intervalsValue.toArray();
            intervals.reserve(intervalArray.size());
            for (const QJsonValue &intervalElement : intervalArray) {
                if (!intervalElement.isObject())
                    continue;
                const QJsonObject intervalObject = intervalElement.toObject();
                auto interval = std::make_shared<Interval>();
                interval->setGuid(stringOrNull(intervalObject.value(kId)));
                interval->setFrom(optionalTime(intervalObject.value(kFrom)));
                interval->setTo(optionalTime(intervalObject.value(kTo)));
                intervals.append(std::move(interval));
            }
        }
        activity->setIntervals(intervals);
        result.append(std::move(activity));
    }
    return result;
}
