// Tests of the reference service's API below oauth/api/: bearer tokens, the demo
// types, listing, creating and replacing activities, and the refusals with their bodies.
#include "TestSupport.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
using Header = QPair<QByteArray, QByteArray>;

const QString kWork = u"5E6A1C00-0000-4000-8000-000000000001"_s;
const QString kExisting = u"0E0E0E0E-0000-4000-8000-000000000001"_s;

// Placeholders in the table bodies: %TYPE a type of the account, %NOW the time.
QByteArray fill(QByteArray body)
{
    return body.replace("%TYPE", kWork.toLatin1())
        .replace("%NOW", QByteArray::number(QDateTime::currentSecsSinceEpoch()));
}

QJsonObject activity(const QString &id, const QString &status, std::optional<qint64> start,
                     const QList<std::pair<qint64, qint64>> &spans = {})
{
    QJsonArray intervals;
    int n = 0;
    for (const auto &[from, to] : spans)
        intervals.append(QJsonObject {{u"id"_s, u"%1-I%2"_s.arg(id).arg(++n)}, {u"from"_s, from}, {u"to"_s, to}});
    return {{u"id"_s, id},
            {u"typeId"_s, kWork},
            {u"comment"_s, u""_s},
            {u"status"_s, status},
            {u"start"_s, start ? QJsonValue(*start) : QJsonValue()},
            {u"intervals"_s, intervals}};
}

QByteArray toJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QStringList ids(const QJsonArray &array)
{
    QStringList result;
    for (const QJsonValue &value : array)
        result.append(value.toObject().value("id"_L1).toString());
    return result;
}
} // namespace

class tst_ServiceApi : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void authorization_data();
    void authorization();
    void typesAreTheDemoCatalogue();
    void demoActivitiesRunAndPause();
    void writes_data();
    void writes();
    void listingKeepsRecentStoppedActivitiesOnly();
    void putReplacesStateAndIntervals();
    void accountsAreSeparate();

private:
    TestHttpReply api(const QByteArray &method, const QString &path, const QByteArray &body = {});
    QJsonArray listActivities();

    std::unique_ptr<TestService> m_server;
    std::unique_ptr<TestHttp> m_http;
    QString m_token;
};

void tst_ServiceApi::init()
{
    m_server = std::make_unique<TestService>();
    m_http = std::make_unique<TestHttp>(m_server->baseUrl());
    m_token = m_server->demoTokens().accessToken;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QCOMPARE(
        api("POST", u"activities"_s, toJson(activity(kExisting, u"paused"_s, now - 60, {{now - 60, now - 30}}))).status,
        201);
}

void tst_ServiceApi::cleanup()
{
    m_http.reset();
    m_server.reset();
}

TestHttpReply tst_ServiceApi::api(const QByteArray &method, const QString &path, const QByteArray &body)
{
    return m_http->send(method, u"oauth/api/"_s + path, body, {TestHttp::bearer(m_token), TestHttp::json()});
}

QJsonArray tst_ServiceApi::listActivities()
{
    const TestHttpReply reply = api("GET", u"activities"_s);
    if (reply.status != 200)
        qWarning("listing activities answered %d", reply.status);
    return reply.array();
}

void tst_ServiceApi::authorization_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QList<Header>>("headers"); // "%T" stands for a valid access token, "%R" for a refresh token
    QTest::addColumn<bool>("expire");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("description");

    const QString unauthorized = u"Full authentication is required to access this resource"_s;
    const QList<Header> bearer {{"Authorization", "Bearer %T"}};
    QTest::newRow("types") << QByteArray("/oauth/api/types") << bearer << false << 200 << QString() << QString();
    QTest::newRow("activities behind two slashes")
        << QByteArray("//oauth/api/activities") << bearer << false << 200 << QString() << QString();
    QTest::newRow("types behind three slashes")
        << QByteArray("///oauth/api/types") << bearer << false << 200 << QString() << QString();
    QTest::newRow("lower-case scheme") << QByteArray("/oauth/api/types")
                                       << QList<Header> {{"Authorization", "bearer %T"}} << false << 200 << QString()
                                       << QString();
    QTest::newRow("no token") << QByteArray("/oauth/api/types") << QList<Header>() << false << 401 << u"unauthorized"_s
                              << unauthorized;
    QTest::newRow("empty bearer") << QByteArray("/oauth/api/activities") << QList<Header> {{"Authorization", "Bearer "}}
                                  << false << 401 << u"unauthorized"_s << unauthorized;
    QTest::newRow("client credentials instead of a token")
        << QByteArray("/oauth/api/types") << QList<Header> {TestHttp::basic(u"androidClient"_s, u"wombat"_s)} << false
        << 401 << u"unauthorized"_s << unauthorized;
    QTest::newRow("unknown token") << QByteArray("/oauth/api/types")
                                   << QList<Header> {{"Authorization", "Bearer feedface"}} << false << 401
                                   << u"invalid_token"_s << u"Invalid access token: feedface"_s;
    QTest::newRow("refresh token as access token")
        << QByteArray("/oauth/api/types") << QList<Header> {{"Authorization", "Bearer %R"}} << false << 401
        << u"invalid_token"_s << u"Invalid access token: %R"_s;
    QTest::newRow("expired token") << QByteArray("//oauth/api/activities") << bearer << true << 401
                                   << u"invalid_token"_s << u"Access token expired: %T"_s;
    QTest::newRow("unknown API path needs a token too")
        << QByteArray("/oauth/api/nothing") << QList<Header>() << false << 401 << u"unauthorized"_s << unauthorized;
    QTest::newRow("unknown API path") << QByteArray("/oauth/api/nothing") << bearer << false << 404 << u"not_found"_s
                                      << u"No resource at /oauth/api/nothing"_s;
    QTest::newRow("unknown path") << QByteArray("/favicon.ico") << QList<Header>() << false << 404 << u"not_found"_s
                                  << u"No resource at /favicon.ico"_s;
    QTest::newRow("test hooks are not API") << QByteArray("/oauth/api/__test/requests") << bearer << false << 404
                                            << u"not_found"_s << u"No resource at /oauth/api/__test/requests"_s;
}

void tst_ServiceApi::authorization()
{
    QFETCH(QByteArray, target);
    QFETCH(QList<Header>, headers);
    QFETCH(bool, expire);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(QString, description);

    const TimeLoggingService::TokenPair tokens = m_server->demoTokens();
    for (Header &header : headers)
        header.second.replace("%T", tokens.accessToken.toLatin1()).replace("%R", tokens.refreshToken.toLatin1());
    description.replace(u"%T"_s, tokens.accessToken).replace(u"%R"_s, tokens.refreshToken);
    if (expire)
        m_server->service().expireAllAccessTokens();

    const TestHttpReply reply = m_http->sendRaw("GET", target, {}, headers);
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.header("content-type"), QByteArray("application/json"));
    if (error.isEmpty()) {
        QVERIFY(QJsonDocument::fromJson(reply.body).isArray());
    } else {
        QCOMPARE(reply.object().value("error"_L1).toString(), error);
        QCOMPARE(reply.object().value("error_description"_L1).toString(), description);
    }
}

void tst_ServiceApi::typesAreTheDemoCatalogue()
{
    const TestHttpReply reply = api("GET", u"types"_s);
    QCOMPARE(reply.status, 200);
    const QJsonArray types = reply.array();

    QMap<QString, QJsonObject> byId;
    QStringList imageIds;
    for (const QJsonValue &value : types) {
        const QJsonObject type = value.toObject();
        QCOMPARE(type.keys(),
                 (QStringList {u"color"_s, u"group"_s, u"id"_s, u"imageId"_s, u"name"_s, u"order"_s, u"parentId"_s}));
        QVERIFY(type.value("id"_L1).isString() && type.value("name"_L1).isString());
        QVERIFY(type.value("group"_L1).isBool());
        QVERIFY(type.value("parentId"_L1).isNull() || type.value("parentId"_L1).isString());
        const double color = type.value("color"_L1).toDouble(-1);
        QVERIFY(color >= 0 && color <= 0xFFFFFF && color == std::trunc(color));
        QVERIFY(type.value("order"_L1).isDouble());
        byId.insert(type.value("id"_L1).toString(), type);
        if (!type.value("group"_L1).toBool())
            imageIds.append(type.value("imageId"_L1).toString());
    }
    QCOMPARE(byId.size(), types.size()); // ids are unique

    imageIds.sort();
    QCOMPARE(imageIds,
             (QStringList {u"code"_s, u"design"_s, u"email"_s, u"lunch"_s, u"meeting"_s, u"phone"_s, u"reading"_s,
                           u"sport"_s, u"study"_s, u"travel"_s, u"work"_s, u"writing"_s}));

    // Nesting: every parent is a group of the list; two top-level groups, one of
    // them holding a group; one group without members.
    QMap<QString, int> members;
    for (const QJsonObject &type : std::as_const(byId)) {
        const QString parent = type.value("parentId"_L1).toString();
        if (parent.isEmpty())
            continue;
        QVERIFY2(byId.contains(parent) && byId[parent].value("group"_L1).toBool(), qPrintable(parent));
        ++members[parent];
    }
    int topGroups = 0, nestedGroups = 0, emptyGroups = 0;
    for (const QJsonObject &type : std::as_const(byId)) {
        if (!type.value("group"_L1).toBool())
            continue;
        QCOMPARE(type.value("imageId"_L1).toString(), u"folder"_s);
        (type.value("parentId"_L1).isNull() ? topGroups : nestedGroups)++;
        emptyGroups += members.value(type.value("id"_L1).toString()) == 0;
    }
    QCOMPARE(topGroups, 2);
    QCOMPARE(nestedGroups, 1);
    QCOMPARE(emptyGroups, 1);
}

void tst_ServiceApi::demoActivitiesRunAndPause()
{
    QJsonArray activities = listActivities();
    QCOMPARE(activities.size(), 3); // two of the demo, one of init()
    QStringList statuses;
    qint64 previousStart = 0;
    for (const QJsonValue &value : activities) {
        const QJsonObject object = value.toObject();
        const qint64 start = object.value("start"_L1).toInteger();
        QVERIFY2(start >= previousStart, "listed by start");
        previousStart = start;
        if (object.value("id"_L1).toString() == kExisting)
            continue;
        statuses.append(object.value("status"_L1).toString());
        const QJsonArray intervals = object.value("intervals"_L1).toArray();
        if (object.value("status"_L1).toString() == "paused"_L1) {
            QVERIFY(intervals.size() >= 1);
            for (const QJsonValue &span : intervals)
                QVERIFY(span.toObject().value("to"_L1).toInteger() >= span.toObject().value("from"_L1).toInteger());
            // A paused activity keeps the start of its last span.
            QCOMPARE(start, intervals.last().toObject().value("from"_L1).toInteger());
        } else {
            QVERIFY(intervals.isEmpty());
            QVERIFY(start > 0);
        }
    }
    statuses.sort();
    QCOMPARE(statuses, (QStringList {u"paused"_s, u"running"_s}));
}

void tst_ServiceApi::writes_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error"); // empty: success, the answer is the stored activity
    QTest::addColumn<QString>("description"); // a part of the expected description

    const QString put = u"activities/"_s + kExisting;
    const QByteArray good
        = R"({"id":"NEW-1","typeId":"%TYPE","comment":"c","status":"running","start":%NOW,"intervals":[]})";
    const QByteArray goodPut
        = R"({"id":"0E0E0E0E-0000-4000-8000-000000000001","typeId":"%TYPE","comment":"done","status":"stopped","start":100,"intervals":[{"id":"A","from":100,"to":%NOW}]})";

    QTest::newRow("POST") << QByteArray("POST") << u"activities"_s << good << 201 << QString() << QString();
    QTest::newRow("POST without intervals and comment")
        << QByteArray("POST") << u"activities"_s
        << QByteArray(R"({"id":"NEW-2","typeId":"%TYPE","status":"paused","start":null})") << 201 << QString()
        << QString();
    QTest::newRow("POST existing id") << QByteArray("POST") << u"activities"_s
                                      << QByteArray(goodPut).replace("stopped", "running") << 409 << u"conflict"_s
                                      << kExisting;
    QTest::newRow("POST not JSON") << QByteArray("POST") << u"activities"_s << QByteArray("{\"id\": ") << 400
                                   << u"invalid_request"_s << u"not valid JSON"_s;
    QTest::newRow("POST empty body") << QByteArray("POST") << u"activities"_s << QByteArray() << 400
                                     << u"invalid_request"_s << u"not valid JSON"_s;
    QTest::newRow("POST array") << QByteArray("POST") << u"activities"_s << QByteArray("[" + good + "]") << 400
                                << u"invalid_request"_s << u"must be a JSON object"_s;
    QTest::newRow("POST without id") << QByteArray("POST") << u"activities"_s
                                     << QByteArray(R"({"typeId":"%TYPE","status":"running","start":1})") << 400
                                     << u"invalid_request"_s << u"\"id\""_s;
    QTest::newRow("POST status in capitals")
        << QByteArray("POST") << u"activities"_s << QByteArray(good).replace("running", "Running") << 400
        << u"invalid_request"_s << u"\"status\""_s;
    QTest::newRow("POST without status") << QByteArray("POST") << u"activities"_s
                                         << QByteArray(R"({"id":"N","typeId":"%TYPE","start":1})") << 400
                                         << u"invalid_request"_s << u"\"status\""_s;
    QTest::newRow("POST unknown typeId") << QByteArray("POST") << u"activities"_s
                                         << QByteArray(good).replace("%TYPE", "NO-SUCH-TYPE") << 400
                                         << u"invalid_request"_s << u"Unknown typeId: NO-SUCH-TYPE"_s;
    QTest::newRow("POST interval ends before it begins")
        << QByteArray("POST") << u"activities"_s
        << QByteArray(
               R"({"id":"N","typeId":"%TYPE","status":"paused","start":5,"intervals":[{"id":"A","from":10,"to":9}]})")
        << 400 << u"invalid_request"_s << u"intervals[0]"_s;
    QTest::newRow("POST fractional seconds")
        << QByteArray("POST") << u"activities"_s
        << QByteArray(
               R"({"id":"N","typeId":"%TYPE","status":"paused","start":5,"intervals":[{"id":"A","from":1.5,"to":9}]})")
        << 400 << u"invalid_request"_s << u"whole numbers"_s;
    QTest::newRow("POST start as text") << QByteArray("POST") << u"activities"_s
                                        << QByteArray(good).replace("%NOW", "\"today\"") << 400 << u"invalid_request"_s
                                        << u"\"start\""_s;
    QTest::newRow("POST repeated interval id")
        << QByteArray("POST") << u"activities"_s
        << QByteArray(
               R"({"id":"N","typeId":"%TYPE","status":"stopped","start":1,"intervals":[{"id":"A","from":1,"to":2},{"id":"A","from":3,"to":4}]})")
        << 400 << u"invalid_request"_s << u"intervals[1]"_s;
    QTest::newRow("POST over 1 MiB") << QByteArray("POST") << u"activities"_s
                                     << QByteArray(good).replace("\"c\"", "\"" + QByteArray(1024 * 1024, 'x') + "\"")
                                     << 413 << u"request_too_large"_s << u"1048576"_s;

    QTest::newRow("PUT") << QByteArray("PUT") << put << goodPut << 200 << QString() << QString();
    QTest::newRow("PUT without id in body")
        << QByteArray("PUT") << put << QByteArray(R"({"typeId":"%TYPE","status":"running","start":%NOW})") << 200
        << QString() << QString();
    QTest::newRow("PUT unknown id") << QByteArray("PUT") << u"activities/NO-SUCH"_s
                                    << QByteArray(goodPut).replace(kExisting.toLatin1(), "NO-SUCH") << 404
                                    << u"not_found"_s << u"NO-SUCH"_s;
    QTest::newRow("PUT id differs from path")
        << QByteArray("PUT") << put << QByteArray(goodPut).replace(kExisting.toLatin1(), "OTHER") << 400
        << u"invalid_request"_s << u"differs"_s;
    QTest::newRow("PUT bad status") << QByteArray("PUT") << put << QByteArray(goodPut).replace("stopped", "done") << 400
                                    << u"invalid_request"_s << u"\"status\""_s;
    QTest::newRow("PUT interval ends before it begins")
        << QByteArray("PUT") << put << QByteArray(goodPut).replace("\"to\":%NOW", "\"to\":99") << 400
        << u"invalid_request"_s << u"before"_s;
    QTest::newRow("PUT unknown typeId") << QByteArray("PUT") << put << QByteArray(goodPut).replace("%TYPE", "X") << 400
                                        << u"invalid_request"_s << u"Unknown typeId: X"_s;
    QTest::newRow("PUT over 1 MiB") << QByteArray(
        "PUT") << put << QByteArray(goodPut).replace("\"done\"", "\"" + QByteArray(1024 * 1024 + 1, 'x') + "\"")
                                    << 413 << u"request_too_large"_s << u"1048576"_s;

    QTest::newRow("PUT on the collection")
        << QByteArray("PUT") << u"activities"_s << goodPut << 405 << u"method_not_allowed"_s << u"PUT"_s;
    QTest::newRow("POST on one activity")
        << QByteArray("POST") << put << goodPut << 405 << u"method_not_allowed"_s << u"POST"_s;
    QTest::newRow("DELETE one activity") << QByteArray("DELETE") << put << QByteArray() << 405
                                         << u"method_not_allowed"_s << u"DELETE"_s;
    QTest::newRow("POST types") << QByteArray("POST") << u"types"_s << good << 405 << u"method_not_allowed"_s
                                << u"POST"_s;
}

void tst_ServiceApi::writes()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(QString, description);

    body = fill(body);
    const QJsonArray before = listActivities();
    const TestHttpReply reply = api(method, path, body);
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.header("content-type"), QByteArray("application/json"));
    const QJsonArray after = listActivities();

    if (!error.isEmpty()) {
        QCOMPARE(reply.object().value("error"_L1).toString(), error);
        const QString text = reply.object().value("error_description"_L1).toString();
        QVERIFY2(text.contains(description), qPrintable(text));
        QCOMPARE(after, before); // nothing stored
        return;
    }

    // The answer is the stored activity, absent keys filled in, and the listing shows it.
    QJsonObject expected = QJsonDocument::fromJson(body).object();
    if (!expected.contains("id"_L1))
        expected.insert(u"id"_s, path.section(u'/', 1));
    for (const auto &[key, value] :
         {std::pair {u"comment"_s, QJsonValue(u""_s)}, std::pair {u"intervals"_s, QJsonValue(QJsonArray())},
          std::pair {u"start"_s, QJsonValue(QJsonValue::Null)}}) {
        if (!expected.contains(key))
            expected.insert(key, value);
    }
    QCOMPARE(reply.object(), expected);
    const QString id = expected.value("id"_L1).toString();
    QJsonObject listed;
    for (const QJsonValue &value : after) {
        if (value.toObject().value("id"_L1).toString() == id)
            listed = value.toObject();
    }
    QCOMPARE(listed, expected);
    QCOMPARE(after.size(), before.size() + (method == "POST" ? 1 : 0));
}

void tst_ServiceApi::listingKeepsRecentStoppedActivitiesOnly()
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 hour = 3600;
    const QList<QJsonObject> posted {
        activity(u"OLD-STOPPED"_s, u"stopped"_s, now - 30 * hour, {{now - 30 * hour, now - 25 * hour}}),
        activity(u"RECENT-STOPPED"_s, u"stopped"_s, now - 30 * hour, {{now - 30 * hour, now - 23 * hour}}),
        // Its start counts as activity too, even without intervals.
        activity(u"STARTED-RECENTLY"_s, u"stopped"_s, now - hour),
        activity(u"OLD-PAUSED"_s, u"paused"_s, now - 100 * hour, {{now - 100 * hour, now - 99 * hour}}),
        activity(u"OLD-RUNNING"_s, u"running"_s, now - 200 * hour),
        activity(u"NO-START"_s, u"stopped"_s, std::nullopt),
    };
    for (const QJsonObject &object : posted)
        QCOMPARE(api("POST", u"activities"_s, toJson(object)).status, 201);

    const QStringList listed = ids(listActivities());
    for (const QString &hidden : {u"OLD-STOPPED"_s, u"NO-START"_s})
        QVERIFY2(!listed.contains(hidden), qPrintable(hidden));
    // Ordered by start: the oldest start first, whatever the order of posting.
    QStringList mine;
    for (const QString &id : listed) {
        if (id.contains(u'-') && !id.startsWith(u"0E0E"_s) && id.size() < 20)
            mine.append(id);
    }
    QCOMPARE(mine, (QStringList {u"OLD-RUNNING"_s, u"OLD-PAUSED"_s, u"RECENT-STOPPED"_s, u"STARTED-RECENTLY"_s}));
}

void tst_ServiceApi::putReplacesStateAndIntervals()
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QString path = u"activities/"_s + kExisting;
    QCOMPARE(api("PUT", path,
                 toJson(activity(kExisting, u"paused"_s, now - 10,
                                 {{now - 50, now - 40}, {now - 30, now - 20}, {now - 10, now}})))
                 .status,
             200);
    QCOMPARE(api("PUT", path, toJson(activity(kExisting, u"running"_s, now, {{now - 50, now - 40}}))).status, 200);

    QJsonObject stored;
    for (const QJsonValue &value : listActivities()) {
        if (value.toObject().value("id"_L1).toString() == kExisting)
            stored = value.toObject();
    }
    QCOMPARE(stored, activity(kExisting, u"running"_s, now, {{now - 50, now - 40}}));
}

void tst_ServiceApi::accountsAreSeparate()
{
    QVERIFY(m_server->service().addUser(u"ann@zorvel.test"_s, u"ann-pw"_s));
    const QString annToken = m_server->service().issueTokens(u"ann@zorvel.test"_s).accessToken;
    const auto asAnn = [&](const QByteArray &method, const QString &path, const QByteArray &body = {}) {
        return m_http->send(method, u"oauth/api/"_s + path, body, {TestHttp::bearer(annToken)});
    };

    // A new account has the type catalogue but no activities.
    QCOMPARE(asAnn("GET", u"types"_s).array(), api("GET", u"types"_s).array());
    QCOMPARE(asAnn("GET", u"activities"_s).array(), QJsonArray());

    // The same id in two accounts is two activities; neither account reaches the other's.
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QCOMPARE(asAnn("POST", u"activities"_s, toJson(activity(kExisting, u"running"_s, now))).status, 201);
    QCOMPARE(asAnn("PUT", u"activities/"_s + kExisting, toJson(activity(kExisting, u"stopped"_s, now))).status, 200);
    const QJsonArray demo = listActivities();
    for (const QJsonValue &value : demo) {
        if (value.toObject().value("id"_L1).toString() == kExisting)
            QCOMPARE(value.toObject().value("status"_L1).toString(), u"paused"_s);
    }
    QCOMPARE(ids(asAnn("GET", u"activities"_s).array()), QStringList {kExisting});
}

QTEST_GUILESS_MAIN(tst_ServiceApi)
#include "tst_ServiceApi.moc"
