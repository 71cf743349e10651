// The records the service sends and takes back: activity types and groups,
// activities and their intervals, and their JSON in both directions.
//
// The decodings never stop the program, whatever the JSON; in short (the full
// list of readings is in ActivityType.cpp's header comment):
//  - a top-level value that is not an array gives an empty list; elements that
//    are not objects are skipped;
//  - a missing, null or wrongly typed string field leaves a null QString;
//    wrongly typed numbers read as 0, negative ones as 0, fractions truncate;
//  - a type whose parent chain names no element, passes through a plain type
//    or loops (a self-parent included) is dropped with all below it, so no
//    children list ever holds a cycle;
//  - times are 32-bit seconds, saturating at the bounds.
// Activity::dict() writes an absent guid or typeId as null, an absent comment
// as "".
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

enum ActivityState : qint32 {
    ActivityStateStopped = 0,
    ActivityStateRunning = 1,
    ActivityStatePaused = 2,
};

class ActivityType;
class ActivityTypeGroup;
class Activity;
class Interval;
using ActivityTypePtr = std::shared_ptr<ActivityType>;
using ActivityTypeGroupPtr = std::shared_ptr<ActivityTypeGroup>;
using ActivityPtr = std::shared_ptr<Activity>;
using IntervalPtr = std::shared_ptr<Interval>;

class AbstractObject
{
public:
    virtual ~AbstractObject() = default;

    const QString &guid() const { return m_guid; } // null QString: absent
    void setGuid(const QString &guid) { m_guid = guid; }
    quint64 revision() const { return m_revision; }
    void setRevision(quint64 revision) { m_revision = revision; }

private:
    QString m_guid;
    quint64 m_revision = 0;
};

class ActivityType : public AbstractObject
{
public:
    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    quint64 color() const { return m_color; }
    void setColor(quint64 color) { m_color = color; }
    const QString &imageId() const { return m_imageId; }
    void setImageId(const QString &imageId) { m_imageId = imageId; }
    quint64 order() const { return m_order; }
    void setOrder(quint64 order) { m_order = order; }
    const std::optional<QString> &parentGuid() const { return m_parentGuid; }
    void setParentGuid(const std::optional<QString> &parentGuid) { m_parentGuid = parentGuid; }

    // The one shared "up" entry ("Go back"); recognised by identity only.
    static const ActivityTypePtr &upType();

    // Type-list decoding: the decoded types answer (expected to be an array)
    // to the sorted list of top-level types and groups.
    static QList<ActivityTypePtr> typesFromJSON(const QJsonValue &json);

private:
    QString m_name;
    quint64 m_color = 0;
    QString m_imageId;
    quint64 m_order = 0;
    std::optional<QString> m_parentGuid;
};

class ActivityTypeGroup : public ActivityType
{
public:
    ActivityTypeGroup() = default;
    ActivityTypeGroup(const ActivityTypeGroup &) = default;
    ActivityTypeGroup &operator=(const ActivityTypeGroup &) = default;
    // Releases a deep nesting without one call frame per level.
    ~ActivityTypeGroup() override;

    const std::optional<QList<ActivityTypePtr>> &children() const { return m_children; }
    void setChildren(const std::optional<QList<ActivityTypePtr>> &children) { m_children = children; }

private:
    std::optional<QList<ActivityTypePtr>> m_children; // absent is not empty
};

class Interval : public AbstractObject
{
public:
    const std::optional<QDateTime> &from() const { return m_from; }
    void setFrom(const std::optional<QDateTime> &from) { m_from = from; }
    const std::optional<QDateTime> &to() const { return m_to; }
    void setTo(const std::optional<QDateTime> &to) { m_to = to; }

    // Length in whole seconds, truncated toward zero; an absent date counts as 1970.
    qint32 duration() const;

private:
    std::optional<QDateTime> m_from;
    std::optional<QDateTime> m_to;
};

class Activity : public AbstractObject
{
public:
    const QString &comment() const { return m_comment; }
    void setComment(const QString &comment) { m_comment = comment; }
    const QList<IntervalPtr> &intervals() const { return m_intervals; }
    void setIntervals(const QList<IntervalPtr> &intervals) { m_intervals = intervals; }
    const QString &typeId() const { return m_typeId; }
    void setTypeId(const QString &typeId) { m_typeId = typeId; }
    const std::optional<QDateTime> &start() const { return m_start; }
    void setStart(const std::optional<QDateTime> &start) { m_start = start; }
    ActivityState state() const { return m_state; }
    void setState(ActivityState state) { m_state = state; }

    // The upload body: "id", "typeId", "comment", "status", "start", "intervals".
    QJsonObject dict() const;

    // Activity-list decoding: the decoded activities answer (expected to be an
    // array) to the activities in the service's order.
    static QList<ActivityPtr> activitiesFromJSON(const QJsonValue &json);

private:
    QString m_comment;
    QList<IntervalPtr> m_intervals;
    QString m_typeId;
    std::optional<QDateTime> m_start;
    ActivityState m_state = ActivityStateStopped;
};

// Time conversions of the wire: whole seconds since 1970 as 32-bit integers,
// fractions truncated toward zero.
namespace WireTime {
QDateTime fromJSON(const QJsonValue &seconds);
qint32 toSeconds(const std::optional<QDateTime> &date);
} // namespace WireTime
