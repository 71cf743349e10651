// An activity as the reference service stores and sends it, with the checks
// that a client's upload must pass before anything of it is stored.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

struct ActivityRecord
{
    struct Interval
    {
        QString id;
        qint64 from = 0;
        qint64 to = 0;
    };

    QString id;
    QString typeId;
    QString comment;
    QString status; // "running", "paused" or "stopped"
    std::optional<qint64> start;
    QList<Interval> intervals;

    QJsonObject toJson() const;

    // Reads an upload body. The id may be missing only when the caller knows it
    // from elsewhere (the path of a PUT): fallbackId then fills it. On a bad body
    // the result is empty and *error says what is wrong, in words for the client.
    static std::optional<ActivityRecord> fromJson(const QJsonObject &object, const QString &fallbackId, QString *error);

    // The latest moment the activity is known to have run: its start or the end
    // of its latest interval.
    qint64 lastActive() const;
};
