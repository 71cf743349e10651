// Tests of the service records: both decodings, the upload body, durations and
// the shared up entry, including what the decodings make of malformed JSON.
#include "ActivityType.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QJsonValue parse(const QByteArray &text)
{
    // Wrapped so that bare scalars parse too.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson("[" + text + "]", &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad fixture: %s", text.constData());
    return document.array().at(0);
}

QString text(const QString &string)
{
    return string.isNull() ? u"~"_s : string;
}

// "A,G(B,C)": names in order; a group's children in parentheses, "()" when
// absent and "[]" when present but empty (which the decoding never makes).
QString describe(const QList<ActivityTypePtr> &types)
{
    QStringList parts;
    for (const ActivityTypePtr &type : types) {
        QString part = text(type->name());
        if (const auto *group = dynamic_cast<const ActivityTypeGroup *>(type.get())) {
            if (!group->children())
                part += u"()"_s;
            else if (group->children()->isEmpty())
                part += u"[]"_s;
            else
                part += u'(' + describe(*group->children()) + u')';
        }
        parts.append(part);
    }
    return parts.join(u',');
}

QString describe(const std::optional<QDateTime> &date)
{
    if (!date)
        return u"-"_s;
    if (date->timeSpec() != Qt::UTC)
        return u"not UTC"_s;
    return QString::number(date->toSecsSinceEpoch());
}

// "guid|comment|typeId|start|state|id:from-to,…" with "~" for a null string
// and "-" for an absent date; activities separated by " / ".
QString describe(const QList<ActivityPtr> &activities)
{
    QStringList parts;
    for (const ActivityPtr &activity : activities) {
        QStringList intervals;
        for (const IntervalPtr &interval : activity->intervals())
            intervals.append(text(interval->guid()) + u':' + describe(interval->from()) + u'-'
                             + describe(interval->to()));
        parts.append(QStringList {text(activity->guid()), text(activity->comment()), text(activity->typeId()),
                                  describe(activity->start()), QString::number(activity->state()), intervals.join(u',')}
                         .join(u'|'));
    }
    return parts.join(u" / "_s);
}

std::optional<QDateTime> dateFromMSecs(const QVariant &msecs)
{
    if (!msecs.isValid())
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(msecs.toLongLong(), Qt::UTC);
}

} // namespace

class tst_ActivityType : public QObject
{
    Q_OBJECT

private slots:
    void typesFromJSON_data();
    void typesFromJSON();
    void typeFields_data();
    void typeFields();
    void deepAndLoopingChains();
    void activitiesFromJSON_data();
    void activitiesFromJSON();
    void nonArrayTopLevel_data();
    void nonArrayTopLevel();
    void dict_data();
    void dict();
    void dictRoundTripsADecodedActivity();
    void duration_data();
    void duration();
    void upTypeIsOneSharedEmptyType();
};

void tst_ActivityType::typesFromJSON_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QByteArray("[]") << u""_s;
    QTest::newRow("roots sorted by order")
        << QByteArray(R"([{"id":"a","name":"A","order":3},{"id":"b","name":"B","order":1},
                          {"id":"c","name":"C","order":2}])")
        << u"B,C,A"_s;
    QTest::newRow("equal order keeps response order")
        << QByteArray(R"([{"id":"a","name":"A","order":1},{"id":"b","name":"B"},{"id":"c","name":"C","order":1},
                          {"id":"d","name":"D"}])")
        << u"B,D,A,C"_s;
    QTest::newRow("order compares unsigned")
        << QByteArray(R"([{"id":"a","name":"A","order":18446744073709551615},{"id":"b","name":"B","order":5}])")
        << u"B,A"_s;
    QTest::newRow("empty group keeps children absent and its place by order")
        << QByteArray(R"([{"id":"a","name":"A","order":1},{"id":"g","name":"G","group":true,"order":2},
                          {"id":"b","name":"B","order":3}])")
        << u"A,G(),B"_s;
    QTest::newRow("children sorted at every depth, inner group not a root")
        << QByteArray(R"([{"id":"c2","name":"C2","parentId":"inner","order":2},
                          {"id":"inner","name":"Inner","group":true,"parentId":"outer","order":1},
                          {"id":"c1","name":"C1","parentId":"inner","order":1},
                          {"id":"b","name":"B","parentId":"outer","order":0},
                          {"id":"outer","name":"Outer","group":true,"order":0,"parentId":null}])")
        << u"Outer(B,Inner(C1,C2))"_s;
    QTest::newRow("parent naming no element drops the element")
        << QByteArray(R"([{"id":"a","name":"A"},{"id":"x","name":"X","parentId":"missing"},
                          {"id":"g","name":"G","group":true},{"id":"y","name":"Y","parentId":"missing","group":true},
                          {"id":"z","name":"Z","parentId":"y"}])")
        << u"A,G()"_s;
    QTest::newRow("duplicate id: children go to the later one, both stay")
        << QByteArray(R"([{"id":"g","name":"G1","group":true,"order":1},{"id":"c","name":"C","parentId":"g"},
                          {"id":"g","name":"G2","group":true,"order":2},{"id":"d","name":"D","parentId":"g"}])")
        << u"G1(),G2(C,D)"_s;
    QTest::newRow("parent that is a plain type drops the element")
        << QByteArray(R"([{"id":"p","name":"P"},{"id":"c","name":"C","parentId":"p"}])") << u"P"_s;
    QTest::newRow("self-parent dropped") << QByteArray(
        R"([{"id":"a","name":"A"},{"id":"g","name":"G","group":true,"parentId":"g"}])")
                                         << u"A"_s;
    QTest::newRow("loop dropped with everything below it")
        << QByteArray(R"([{"id":"g1","name":"G1","group":true,"parentId":"g2"},
                          {"id":"g2","name":"G2","group":true,"parentId":"g1"},
                          {"id":"c","name":"C","parentId":"g1"},
                          {"id":"r","name":"R","group":true},{"id":"d","name":"D","parentId":"r"}])")
        << u"R(D)"_s;
    QTest::newRow("loop through a duplicate id")
        << QByteArray(R"([{"id":"g","name":"G1","group":true},{"id":"h","name":"H","group":true,"parentId":"g"},
                          {"id":"g","name":"G2","group":true,"parentId":"h"}])")
        << u"G1()"_s;

    // Garbage shapes: nothing stops, and the documented reading holds.
    QTest::newRow("non-object elements skipped")
        << QByteArray(R"([1,"x",null,true,[{"id":"n","name":"N"}],{"id":"a","name":"A"}])") << u"A"_s;
    QTest::newRow("missing id: decoded, but nobody's parent")
        << QByteArray(R"([{"name":"G","group":true},{"name":"C","parentId":""}])") << u"G()"_s;
    QTest::newRow("empty-string id is an id")
        << QByteArray(R"([{"id":"","name":"G","group":true},{"name":"C","parentId":""}])") << u"G(C)"_s;
    QTest::newRow("null and wrong kinds for strings")
        << QByteArray(R"([{"id":null,"name":null,"imageId":7},{"id":{},"name":["N"]}])") << u"~,~"_s;
    QTest::newRow("group must be true") << QByteArray(
        R"([{"id":"a","name":"A","group":"true"},{"id":"b","name":"B","group":1},
                          {"id":"c","name":"C","group":null},{"id":"d","name":"D","group":false}])")
                                        << u"A,B,C,D"_s;
    QTest::newRow("parentId of another kind counts as null")
        << QByteArray(R"([{"id":"a","name":"A","parentId":42},{"id":"b","name":"B","parentId":{"id":"x"}}])")
        << u"A,B"_s;
    QTest::newRow("odd orders: fraction, negative, string, huge")
        << QByteArray(R"([{"name":"Huge","order":1e300},{"name":"Neg","order":-5},{"name":"Str","order":"1"},
                          {"name":"Frac","order":2.9},{"name":"Two","order":2},{"name":"One","order":1}])")
        << u"Neg,Str,One,Frac,Two,Huge"_s;
}

void tst_ActivityType::typesFromJSON()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);
    QCOMPARE(describe(ActivityType::typesFromJSON(parse(json))), expected);
}

void tst_ActivityType::typeFields_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("guid");
    QTest::addColumn<QString>("imageId");
    QTest::addColumn<quint64>("color");
    QTest::addColumn<quint64>("order");

    QTest::newRow("all given") << QByteArray(R"({"id":"T1","name":"N","color":16744448,"order":7,"imageId":"img"})")
                               << u"T1"_s << u"img"_s << quint64(0xFF8000) << quint64(7);
    QTest::newRow("missing numbers give 0")
        << QByteArray(R"({"id":"T1"})") << u"T1"_s << QString() << quint64(0) << quint64(0);
    QTest::newRow("largest unsigned kept exactly")
        << QByteArray(R"({"id":"T1","color":18446744073709551615,"order":9007199254740993})") << u"T1"_s << QString()
        << quint64(18446744073709551615ull) << quint64(9007199254740993ull);
    QTest::newRow("out of range clamps") << QByteArray(R"({"id":"T1","color":-1,"order":1e40})") << u"T1"_s << QString()
                                         << quint64(0) << std::numeric_limits<quint64>::max();
    QTest::newRow("fraction truncates, wrong kinds give 0")
        << QByteArray(R"({"id":"T1","color":255.99,"order":"3","imageId":null})") << u"T1"_s << QString()
        << quint64(255) << quint64(0);
}

void tst_ActivityType::typeFields()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, guid);
    QFETCH(QString, imageId);
    QFETCH(quint64, color);
    QFETCH(quint64, order);

    const auto types = ActivityType::typesFromJSON(parse("[" + json + "]"));
    QCOMPARE(types.size(), 1);
    QCOMPARE(types[0]->guid(), guid);
    QCOMPARE(types[0]->imageId(), imageId);
    QCOMPARE(types[0]->imageId().isNull(), imageId.isNull());
    QCOMPARE(types[0]->color(), color);
    QCOMPARE(types[0]->order(), order);
    QVERIFY(!types[0]->parentGuid());
    QCOMPARE(types[0]->revision(), quint64(0));
}

void tst_ActivityType::deepAndLoopingChains()
{
    // 100,000 levels: the walk, the attachment and the release of the tree
    // must all get through without deep recursion.
    constexpr int depth = 100'000;
    QJsonArray chain;
    QJsonArray loop;
    for (int i = depth - 1; i >= 0; --i) {
        QJsonObject element {{u"id"_s, QString::number(i)}, {u"name"_s, QString::number(i)}, {u"group"_s, true}};
        if (i > 0)
            element.insert(u"parentId"_s, QString::number(i - 1));
        chain.append(element);
        element.insert(u"parentId"_s, QString::number(i > 0 ? i - 1 : depth - 1));
        loop.append(element);
    }

    QList<ActivityTypePtr> roots = ActivityType::typesFromJSON(chain);
    QCOMPARE(roots.size(), 1);
    int levels = 0;
    std::weak_ptr<ActivityType> deepest;
    for (ActivityTypePtr node = roots[0]; node;) {
        QCOMPARE(node->name(), QString::number(levels));
        ++levels;
        deepest = node;
        const auto &children = std::static_pointer_cast<ActivityTypeGroup>(node)->children();
        node = children ? children->at(0) : nullptr;
    }
    QCOMPARE(levels, depth);
    roots.clear();
    QVERIFY(deepest.expired());

    QVERIFY(ActivityType::typesFromJSON(loop).isEmpty());
}

void tst_ActivityType::activitiesFromJSON_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected");

    QTest::newRow("complete") << QByteArray(R"([{"id":"A1","comment":"c","typeId":"T1","start":1000,"status":"running",
                           "intervals":[{"id":"I1","from":10,"to":20},{"id":"I2","from":30,"to":40}]}])")
                              << u"A1|c|T1|1000|1|I1:10-20,I2:30-40"_s;
    QTest::newRow("service order kept") << QByteArray(
        R"([{"id":"b","status":"paused","intervals":[]},{"id":"a","status":"stopped","intervals":[]}])")
                                        << u"b|~|~|0|2| / a|~|~|0|0|"_s;
    QTest::newRow("start null is absent") << QByteArray(R"([{"id":"A","start":null}])") << u"A|~|~|-|0|"_s;
    QTest::newRow("start missing is 1970") << QByteArray(R"([{"id":"A"}])") << u"A|~|~|0|0|"_s;
    QTest::newRow("start truncates toward zero")
        << QByteArray(R"([{"id":"A","start":100.9},{"id":"B","start":-100.9}])") << u"A|~|~|100|0| / B|~|~|-100|0|"_s;
    QTest::newRow("start saturates at 32 bits")
        << QByteArray(R"([{"id":"A","start":4102444800},{"id":"B","start":-1e300}])")
        << u"A|~|~|2147483647|0| / B|~|~|-2147483648|0|"_s;
    QTest::newRow("start of another kind reads as 0")
        << QByteArray(R"([{"id":"A","start":"100"},{"id":"B","start":{}}])") << u"A|~|~|0|0| / B|~|~|0|0|"_s;
    QTest::newRow("status exact and case-sensitive")
        << QByteArray(R"([{"id":"A","status":"Running"},{"id":"B","status":"running "},{"id":"C","status":1},
                          {"id":"D","status":null}])")
        << u"A|~|~|0|0| / B|~|~|0|0| / C|~|~|0|0| / D|~|~|0|0|"_s;
    QTest::newRow("intervals missing, null or not an array: empty")
        << QByteArray(R"([{"id":"A"},{"id":"B","intervals":null},{"id":"C","intervals":{"id":"I"}}])")
        << u"A|~|~|0|0| / B|~|~|0|0| / C|~|~|0|0|"_s;
    QTest::newRow("interval elements that are not objects skipped")
        << QByteArray(R"([{"id":"A","intervals":[1,null,{"id":"I","from":1,"to":2},"x"]}])") << u"A|~|~|0|0|I:1-2"_s;
    QTest::newRow("interval dates missing or odd are absent")
        << QByteArray(R"([{"id":"A","intervals":[{},{"id":"J","from":null,"to":"9"},{"from":5.7}]}])")
        << u"A|~|~|0|0|~:---,J:---,~:5--"_s;
    QTest::newRow("null and wrong kinds for strings")
        << QByteArray(R"([{"id":null,"comment":7,"typeId":["T"]}])") << u"~|~|~|0|0|"_s;
    QTest::newRow("non-object elements skipped")
        << QByteArray(R"([null,3,"A",[],{"id":"A","comment":""}])") << u"A||~|0|0|"_s;
}

void tst_ActivityType::activitiesFromJSON()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);
    QCOMPARE(describe(Activity::activitiesFromJSON(parse(json))), expected);
}

void tst_ActivityType::nonArrayTopLevel_data()
{
    QTest::addColumn<QJsonValue>("json");
    QTest::newRow("object") << parse(R"({"id":"A","name":"A"})");
    QTest::newRow("null") << QJsonValue(QJsonValue::Null);
    QTest::newRow("undefined") << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("number") << QJsonValue(42);
    QTest::newRow("string") << QJsonValue(u"[]"_s);
    QTest::newRow("bool") << QJsonValue(true);
}

void tst_ActivityType::nonArrayTopLevel()
{
    QFETCH(QJsonValue, json);
    QVERIFY(ActivityType::typesFromJSON(json).isEmpty());
    QVERIFY(Activity::activitiesFromJSON(json).isEmpty());
}

void tst_ActivityType::dict_data()
{
    QTest::addColumn<QString>("guid");
    QTest::addColumn<QString>("typeId");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<int>("state");
    QTest::addColumn<QVariant>("startMSecs"); // invalid: absent
    QTest::addColumn<QVariantList>("intervals"); // each {guid, from ms, to ms}
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("running with intervals")
        << u"A1"_s << u"T1"_s << u"note"_s << 1 << QVariant(100900)
        << QVariantList {QVariantList {u"I1"_s, 1000, 2500}, QVariantList {u"I2"_s, 3000, QVariant()}}
        << QByteArray(R"({"id":"A1","typeId":"T1","comment":"note","status":"running","start":100,
                          "intervals":[{"id":"I1","from":1,"to":2},{"id":"I2","from":3,"to":0}]})");
    QTest::newRow("stopped, no intervals, start absent")
        << u"A1"_s << u"T1"_s << u""_s << 0 << QVariant() << QVariantList()
        << QByteArray(R"({"id":"A1","typeId":"T1","comment":"","status":"stopped","start":null,"intervals":[]})");
    QTest::newRow("paused") << u"A1"_s << u"T1"_s << u"c"_s << 2 << QVariant(0) << QVariantList()
                            << QByteArray(R"({"id":"A1","typeId":"T1","comment":"c","status":"paused","start":0,
                                              "intervals":[]})");
    QTest::newRow("unknown state sent as running")
        << u"A1"_s << u"T1"_s << u"c"_s << 7 << QVariant(0) << QVariantList()
        << QByteArray(R"({"id":"A1","typeId":"T1","comment":"c","status":"running","start":0,"intervals":[]})");
    QTest::newRow("negative state sent as running")
        << u"A1"_s << u"T1"_s << u"c"_s << -1 << QVariant(0) << QVariantList()
        << QByteArray(R"({"id":"A1","typeId":"T1","comment":"c","status":"running","start":0,"intervals":[]})");
    QTest::newRow("absent strings: null ids, empty comment")
        << QString() << QString() << QString() << 1 << QVariant(0) << QVariantList {QVariantList {QString(), 0, 0}}
        << QByteArray(R"({"id":null,"typeId":null,"comment":"","status":"running","start":0,
                          "intervals":[{"id":null,"from":0,"to":0}]})");
    QTest::newRow("before 1970 truncates toward zero")
        << u"A1"_s << u"T1"_s << u"c"_s << 1 << QVariant(-100900) << QVariantList {QVariantList {u"I"_s, -1500, -500}}
        << QByteArray(R"({"id":"A1","typeId":"T1","comment":"c","status":"running","start":-100,
                          "intervals":[{"id":"I","from":-1,"to":0}]})");
    QTest::newRow("after 2038 saturates")
        << u"A1"_s << u"T1"_s << u"c"_s << 1 << QVariant(4102444800000LL) << QVariantList()
        << QByteArray(R"({"id":"A1","typeId":"T1","comment":"c","status":"running","start":2147483647,
                          "intervals":[]})");
}

void tst_ActivityType::dict()
{
    QFETCH(QString, guid);
    QFETCH(QString, typeId);
    QFETCH(QString, comment);
    QFETCH(int, state);
    QFETCH(QVariant, startMSecs);
    QFETCH(QVariantList, intervals);
    QFETCH(QByteArray, expected);

    Activity activity;
    activity.setGuid(guid);
    activity.setTypeId(typeId);
    activity.setComment(comment);
    activity.setState(ActivityState(state));
    activity.setStart(dateFromMSecs(startMSecs));
    QList<IntervalPtr> list;
    for (const QVariant &entry : std::as_const(intervals)) {
        const QVariantList fields = entry.toList();
        auto interval = std::make_shared<Interval>();
        interval->setGuid(fields[0].toString());
        interval->setFrom(dateFromMSecs(fields[1]));
        interval->setTo(dateFromMSecs(fields[2]));
        list.append(interval);
    }
    activity.setIntervals(list);

    const QJsonObject body = activity.dict();
    QCOMPARE(body, parse(expected).toObject());
    QCOMPARE(body.size(), 6);
    // The body reads the record without changing it.
    QCOMPARE(activity.intervals().size(), intervals.size());
    QVERIFY(activity.start() == dateFromMSecs(startMSecs));
}

void tst_ActivityType::dictRoundTripsADecodedActivity()
{
    const QJsonObject sent = parse(R"({"id":"A1","typeId":"T1","comment":"c","status":"paused","start":1700000000,
                                      "intervals":[{"id":"I1","from":1699990000,"to":1700000000}]})")
                                 .toObject();
    const auto activities = Activity::activitiesFromJSON(QJsonArray {sent});
    QCOMPARE(activities.size(), 1);
    QCOMPARE(activities[0]->dict(), sent);
}

void tst_ActivityType::duration_data()
{
    QTest::addColumn<QVariant>("fromMSecs");
    QTest::addColumn<QVariant>("toMSecs");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("fraction truncated") << QVariant(100900) << QVariant(102000) << 1;
    QTest::newRow("backwards truncates toward zero") << QVariant(102000) << QVariant(100900) << -1;
    QTest::newRow("both absent") << QVariant() << QVariant() << 0;
    QTest::newRow("absent to counts as 1970") << QVariant(100000) << QVariant() << -100;
    QTest::newRow("absent from counts as 1970") << QVariant() << QVariant(100900) << 100;
    QTest::newRow("100 hours") << QVariant(1700000000000LL) << QVariant(1700360000000LL) << 360000;
    QTest::newRow("longer than 32 bits saturates")
        << QVariant(-4102444800000LL) << QVariant(4102444800000LL) << std::numeric_limits<qint32>::max();
}

void tst_ActivityType::duration()
{
    QFETCH(QVariant, fromMSecs);
    QFETCH(QVariant, toMSecs);
    QFETCH(qint32, expected);

    Interval interval;
    interval.setFrom(dateFromMSecs(fromMSecs));
    interval.setTo(dateFromMSecs(toMSecs));
    QCOMPARE(interval.duration(), expected);
}

void tst_ActivityType::upTypeIsOneSharedEmptyType()
{
    const ActivityTypePtr &first = ActivityType::upType();
    QVERIFY(first);
    QCOMPARE(ActivityType::upType().get(), first.get());
    QVERIFY(!dynamic_cast<ActivityTypeGroup *>(first.get()));
    QVERIFY(first->guid().isEmpty());
    QVERIFY(first->name().isEmpty());
    QVERIFY(first->imageId().isEmpty());
    QCOMPARE(first->color(), quint64(0));
    QCOMPARE(first->order(), quint64(0));
    QVERIFY(!first->parentGuid());
}

QTEST_GUILESS_MAIN(tst_ActivityType)
#include "tst_activitytype.moc"
