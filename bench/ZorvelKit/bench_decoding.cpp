// Benchmark of the record decodings: what decoding 10,000 types and 10,000
// activities costs on top of parsing their bytes.
//
// For each list it builds one response body, then, over several rounds, times
// QJsonDocument::fromJson alone and our decoding of the parsed value, and
// prints the medians and their ratio (decode / parse; the goal is <= 1.0):
//   types: parse 12.3 ms, decode 8.1 ms, ratio 0.66, paired ratio 0.65 (…)
// The paired ratio is the median of each round's own decode / parse, which
// holds up better than the ratio of medians on a busy machine. Destroying the
// document or the records is outside both timings.
#include "ActivityType.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int kCount = 10'000;
constexpr int kRounds = 31;

QString uuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// Groups three levels deep: 50 root groups of 4 groups each of 4 groups each;
// the other types spread over the innermost groups, every twentieth at the
// top. Orders are scrambled so that every level needs sorting.
QByteArray typesBody()
{
    QStringList ids;
    ids.reserve(kCount);
    for (int i = 0; i < kCount; ++i)
        ids.append(uuid());

    QJsonArray array;
    for (int i = 0; i < kCount; ++i) {
        QJsonValue parent = QJsonValue::Null;
        const bool group = i < 1050;
        if (i >= 50 && i < 250)
            parent = ids[(i - 50) / 4];
        else if (i >= 250 && i < 1050)
            parent = ids[50 + (i - 250) / 4];
        else if (i >= 1050 && i % 20 != 0)
            parent = ids[250 + (i - 1050) % 800];
        array.append(QJsonObject {
            {u"id"_s, ids[i]},
            {u"name"_s, u"Type %1"_s.arg(i)},
            {u"group"_s, group},
            {u"color"_s, qint64((i * 2654435761u) & 0xFFFFFF)},
            {u"order"_s, qint64((i * 7919) % kCount)},
            {u"parentId"_s, parent},
            {u"imageId"_s, u"icon-%1"_s.arg(i % 12)},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QByteArray activitiesBody()
{
    static const QString statuses[] = {u"running"_s, u"paused"_s, u"stopped"_s};
    QJsonArray array;
    for (int i = 0; i < kCount; ++i) {
        const qint64 start = 1'700'000'000 + i * 60;
        QJsonArray intervals;
        for (int k = 0; k < 5; ++k)
            intervals.append(QJsonObject {
                {u"id"_s, uuid()}, {u"from"_s, start - 3600 * (5 - k)}, {u"to"_s, start - 3600 * (5 - k) + 1800}});
        array.append(QJsonObject {
            {u"id"_s, uuid()},
            {u"comment"_s, u"Activity %1"_s.arg(i)},
            {u"typeId"_s, uuid()},
            {u"start"_s, start},
            {u"status"_s, statuses[i % 3]},
            {u"intervals"_s, intervals},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

double median(QList<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

template<typename Decode> void measure(const char *label, const QByteArray &body, Decode decode)
{
    QList<double> parseTimes;
    QList<double> decodeTimes;
    QList<double> ratios;
    qsizetype decoded = 0;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const QJsonDocument document = QJsonDocument::fromJson(body);
        parseTimes.append(timer.nsecsElapsed() / 1e6);

        const QJsonValue value(document.array());
        timer.restart();
        const auto records = decode(value);
        decodeTimes.append(timer.nsecsElapsed() / 1e6);
        ratios.append(decodeTimes.last() / parseTimes.last());
        decoded = records.size();
    }
    const double parse = median(parseTimes);
    const double decodeTime = median(decodeTimes);
    std::printf("%s: parse %.2f ms, decode %.2f ms, ratio %.2f, paired ratio %.2f (%lld bytes, %lld top-level "
                "records, median of %d)\n",
                label, parse, decodeTime, decodeTime / parse, median(ratios), qlonglong(body.size()),
                qlonglong(decoded), kRounds);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    measure("types", typesBody(), [](const QJsonValue &v) { return ActivityType::typesFromJSON(v); });
    measure("activities", activitiesBody(), [](const QJsonValue &v) { return Activity::activitiesFromJSON(v); });
    return 0;
}
