#include "ActivityRecord.h"

#include <QJsonArray>
#include <QSet>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
// Whole seconds only; beyond 2^53 a double no longer holds every integer.
std::optional<qint64> readSeconds(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || std::fabs(number) > 9007199254740992.0)
        return std::nullopt;
    return static_cast<qint64>(number);
}

bool isKnownStatus(const QString &status)
{
    return status == "running"_L1 || status == "paused"_L1 || status == "stopped"_L1;
}
} // namespace

QJsonObject ActivityRecord::toJson() const
{
    QJsonArray spans;
    for (const Interval &interval : intervals)
        spans.append(QJsonObject {{u"id"_s, interval.id}, {u"from"_s, interval.from}, {u"to"_s, interval.to}});
    return {
        {u"id"_s, id},
        {u"typeId"_s, typeId},
        {u"comment"_s, comment},
        {u"status"_s, status},
        {u"start"_s, start ? QJsonValue(*start) : QJsonValue(QJsonValue::Null)},
        {u"intervals"_s, spans},
    };
}

std::optional<ActivityRecord> ActivityRecord::fromJson(const QJsonObject &object, const QString &fallbackId,
                                                       QString *error)
{
    const auto fail = [error](const QString &why) -> std::optional<ActivityRecord> {
        if (error)
            *error = why;
        return std::nullopt;
    };

    ActivityRecord record;

    const QJsonValue id = object.value("id"_L1);
    if (id.isUndefined() || id.isNull()) {
        if (fallbackId.isEmpty())
            return fail(u"\"id\" is missing"_s);
        record.id = fallbackId;
    } else if (!id.isString() || id.toString().isEmpty()) {
        return fail(u"\"id\" must be a non-empty string"_s);
    } else {
        record.id = id.toString();
    }

    const QJsonValue typeId = object.value("typeId"_L1);
    if (!typeId.isString() || typeId.toString().isEmpty())
        return fail(u"\"typeId\" must be a non-empty string"_s);
    record.typeId = typeId.toString();

    const QJsonValue comment = object.value("comment"_L1);
    if (comment.isString())
        record.comment = comment.toString();
    else if (!comment.isUndefined() && !comment.isNull())
        return fail(u"\"comment\" must be a string"_s);

    const QJsonValue status = object.value("status"_L1);
    if (!status.isString() || !isKnownStatus(status.toString()))
        return fail(u"\"status\" must be one of \"running\", \"paused\", \"stopped\""_s);
    record.status = status.toString();

    const QJsonValue start = object.value("start"_L1);
    if (!start.isUndefined() && !start.isNull()) {
        record.start = readSeconds(start);
        if (!record.start)
            return fail(u"\"start\" must be a whole number of seconds or null"_s);
    }

    const QJsonValue intervals = object.value("intervals"_L1);
    if (!intervals.isUndefined() && !intervals.isNull() && !intervals.isArray())
        return fail(u"\"intervals\" must be an array"_s);
    QSet<QString> seen;
    const QJsonArray spans = intervals.toArray();
    for (qsizetype i = 0; i < spans.size(); ++i) {
        const QString where = u"intervals[%1]"_s.arg(i);
        if (!spans[i].isObject())
            return fail(where + u" must be an object"_s);
        const QJsonObject span = spans[i].toObject();
        Interval interval;
        const QJsonValue spanId = span.value("id"_L1);
        if (!spanId.isString() || spanId.toString().isEmpty())
            return fail(where + u".id must be a non-empty string"_s);
        interval.id = spanId.toString();
        if (seen.contains(interval.id))
            return fail(where + u".id repeats an earlier interval's id"_s);
        seen.insert(interval.id);
        const std::optional<qint64> from = readSeconds(span.value("from"_L1));
        const std::optional<qint64> to = readSeconds(span.value("to"_L1));
        if (!from || !to)
            return fail(where + u" needs \"from\" and \"to\" as whole numbers of seconds"_s);
        if (*to < *from)
            return fail(where + u" ends (\"to\") before it begins (\"from\")"_s);
        interval.from = *from;
        interval.to = *to;
        record.intervals.append(interval);
    }
    return record;
}

qint64 ActivityRecord::lastActive() const
{
    qint64 latest = start.value_or(0);
    for (const Interval &interval : intervals)
        latest = qMax(latest, interval.to);
    return latest;
}
