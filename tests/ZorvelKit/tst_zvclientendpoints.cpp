// The type and activity endpoints against the service: what goes on the wire,
// what the handlers receive, and what reaches the system log.
#include "tst_zvclient_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

using namespace Qt::StringLiterals;
using namespace ClientFixture;

namespace {

// The one call of a read's handler.
template<typename T> struct ReadCalls
{
    int count = 0;
    std::optional<QList<T>> list;
    std::optional<Error> error;
    auto handler()
    {
        return [this](const std::optional<QList<T>> &l, const std::optional<Error> &e) {
            ++count;
            list = l;
            error = e;
        };
    }
};

struct WriteCalls
{
    int count = 0;
    std::optional<Error> error;
    ZVClient::ErrorHandler handler()
    {
        return [this](const std::optional<Error> &e) {
            ++count;
            error = e;
        };
    }
};

#define ZV_WAIT_FOR_ONE(calls)                                                                                         \
    do {                                                                                                               \
        QTRY_COMPARE_WITH_TIMEOUT((calls).count, 1, 15000);                                                            \
        QTest::qWait(30);                                                                                              \
        QCOMPARE((calls).count, 1);                                                                                    \
    } while (false)

FailureRule answer(const QString &path, int status, const QByteArray &body, const QByteArray &contentType)
{
    FailureRule rule;
    rule.path = path;
    rule.status = status;
    rule.body = body;
    rule.contentType = contentType;
    return rule;
}

} // namespace

class TestZVClientEndpoints : public QObject
{
    Q_OBJECT

    TestEnvironment m_environment;
    ZVClient &client = ZVClient::sharedInstance();
    std::unique_ptr<TestService> m_server;

    // A new running activity of the account's first plain type.
    ActivityPtr newActivity()
    {
        ReadCalls<ActivityTypePtr> types;
        client.getTypesWithHandler(types.handler());
        [&] {
            QTRY_COMPARE(types.count, 1);
        }();
        QString typeId;
        for (const ActivityTypePtr &type : types.list.value_or(QList<ActivityTypePtr>())) {
            if (!std::dynamic_pointer_cast<ActivityTypeGroup>(type)) {
                typeId = type->guid();
                break;
            }
        }
        auto activity = std::make_shared<Activity>();
        activity->setGuid(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
        activity->setTypeId(typeId);
        activity->setComment(u"written by a test"_s);
        activity->setState(ActivityStateRunning);
        activity->setStart(QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 60, Qt::UTC));
        return activity;
    }

    ActivityPtr listed(const QString &guid)
    {
        ReadCalls<ActivityPtr> activities;
        client.getActivitiesWithHandler(activities.handler());
        [&] {
            QTRY_COMPARE(activities.count, 1);
        }();
        for (const ActivityPtr &activity : activities.list.value_or(QList<ActivityPtr>())) {
            if (activity->guid() == guid)
                return activity;
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        useApplicationName("tst_zvclientendpoints");
        QVERIFY(m_environment.isValid());
    }
    void init()
    {
        m_server = std::make_unique<TestService>();
        ZVClient::setBaseURLForTesting(m_server->baseUrl());
        storeTokens(m_server->demoTokens());
    }
    void cleanup()
    {
        client.logout();
        ZVClient::setBaseURLForTesting(QString());
        m_server.reset();
    }

    void readsAskForTheirPath()
    {
        ReadCalls<ActivityTypePtr> types;
        ReadCalls<ActivityPtr> activities;
        client.getTypesWithHandler(types.handler());
        client.getActivitiesWithHandler(activities.handler());
        ZV_WAIT_FOR_ONE(types);
        ZV_WAIT_FOR_ONE(activities);
        QVERIFY(!types.error && !activities.error);
        QVERIFY(types.list && !types.list->isEmpty());
        QVERIFY(activities.list && !activities.list->isEmpty());

        QStringList seen;
        for (const RecordedRequest &request : (*m_server)->requests()) {
            QVERIFY(request.query.isEmpty());
            QVERIFY(request.body.isEmpty());
            seen.append(request.method + u' ' + request.path);
        }
        seen.sort();
        QCOMPARE(seen, (QStringList {u"GET /oauth/api/activities"_s, u"GET /oauth/api/types"_s}));
    }

    void readAnswers_data()
    {
        QTest::addColumn<bool>("types"); // else activities
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("expectList");
        QTest::addColumn<QString>("expectedDescription");

        for (const bool types : {true, false}) {
            const QString read = types ? u"types"_s : u"activities"_s;
            const auto row = [&](const char *name) -> QTestData & {
                return QTest::addRow("%s: %s", qPrintable(read), name);
            };
            row("empty array") << types << 200 << QByteArray("[]") << true << QString();
            row("empty body") << types << 200 << QByteArray() << true << QString();
            row("object") << types << 200 << QByteArray(R"({"items":[]})") << false
                          << u"The service's %1 answer is not a JSON array."_s.arg(read);
            row("bare string") << types << 200 << QByteArray(R"("[]")") << false
                               << u"The service's %1 answer is not a JSON array."_s.arg(read);
            row("500") << types << 500 << QByteArray(R"({"error":"boom"})") << false
                       << u"Request failed: internal server error (500)"_s;
        }
    }
    void readAnswers()
    {
        QFETCH(bool, types);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, expectList);
        QFETCH(QString, expectedDescription);

        (*m_server)->addFailure(answer(types ? u"types"_s : u"activities"_s, status, body, "application/json"));
        LogCapture logs;
        std::optional<Error> error;
        qsizetype size = -1;
        if (types) {
            ReadCalls<ActivityTypePtr> calls;
            client.getTypesWithHandler(calls.handler());
            ZV_WAIT_FOR_ONE(calls);
            QCOMPARE(calls.list.has_value(), expectList);
            size = calls.list ? calls.list->size() : -1;
            error = calls.error;
        } else {
            ReadCalls<ActivityPtr> calls;
            client.getActivitiesWithHandler(calls.handler());
            ZV_WAIT_FOR_ONE(calls);
            QCOMPARE(calls.list.has_value(), expectList);
            size = calls.list ? calls.list->size() : -1;
            error = calls.error;
        }
        QCOMPARE(!error, expectList);
        if (expectList) {
            QCOMPARE(size, 0);
            QCOMPARE(logs.system(), QStringList());
            return;
        }
        QCOMPARE(error->localizedDescription(), expectedDescription);
        // Only a failed types read is written to the system log.
        QCOMPARE(logs.system(), types ? QStringList {u"Error: "_s + error->fullDescription()} : QStringList());
    }

    void postedActivityIsListed()
    {
        const ActivityPtr activity = newActivity();
        QVERIFY(!activity->typeId().isEmpty());
        const QJsonObject body = activity->dict();
        (*m_server)->clearRequests();

        WriteCalls calls;
        client.postActivity(activity, calls.handler());
        activity->setComment(u"changed after the call"_s); // the body is a snapshot
        ZV_WAIT_FOR_ONE(calls);
        QVERIFY2(!calls.error, qPrintable(calls.error ? calls.error->fullDescription() : QString()));

        const RecordedRequest request = (*m_server)->requests().value(0);
        QCOMPARE(request.method, u"POST"_s);
        QCOMPARE(request.path, u"/oauth/api/activities"_s);
        QCOMPARE(QJsonDocument::fromJson(request.body).object(), body);

        const ActivityPtr read = listed(activity->guid());
        QVERIFY(read);
        QCOMPARE(read->comment(), u"written by a test"_s);
        QCOMPARE(read->state(), ActivityStateRunning);
        QCOMPARE(read->typeId(), activity->typeId());
    }

    void putChangesStateAndIntervals()
    {
        const ActivityPtr activity = newActivity();
        WriteCalls posted;
        client.postActivity(activity, posted.handler());
        ZV_WAIT_FOR_ONE(posted);
        QVERIFY(!posted.error);

        // Paused: one interval from the start to now.
        auto interval = std::make_shared<Interval>();
        interval->setGuid(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
        interval->setFrom(activity->start());
        interval->setTo(QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC));
        activity->setIntervals({interval});
        activity->setState(ActivityStatePaused);
        (*m_server)->clearRequests();

        WriteCalls put;
        client.putActivity(activity, put.handler());
        ZV_WAIT_FOR_ONE(put);
        QVERIFY2(!put.error, qPrintable(put.error ? put.error->fullDescription() : QString()));

        const RecordedRequest request = (*m_server)->requests().value(0);
        QCOMPARE(request.method, u"PUT"_s);
        QCOMPARE(request.path, u"/oauth/api/activities/"_s + activity->guid());
        QCOMPARE(QJsonDocument::fromJson(request.body).object(), activity->dict());

        const ActivityPtr read = listed(activity->guid());
        QVERIFY(read);
        QCOMPARE(read->state(), ActivityStatePaused);
        QCOMPARE(read->intervals().size(), 1);
        QCOMPARE(read->intervals()[0]->guid(), interval->guid());
        QCOMPARE(read->intervals()[0]->from(), interval->from());
        QCOMPARE(read->intervals()[0]->to(), interval->to());
    }

    void writeAnswers_data()
    {
        QTest::addColumn<bool>("post"); // else put
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("expectError");

        QTest::newRow("POST 201 empty") << true << 201 << QByteArray() << QByteArray() << false;
        QTest::newRow("POST 201 any JSON")
            << true << 201 << QByteArray("application/json") << QByteArray("\"ok\"") << false;
        QTest::newRow("PUT 204") << false << 204 << QByteArray() << QByteArray() << false;
        QTest::newRow("POST 409") << true << 409 << QByteArray("application/json") << QByteArray(R"({"error":"x"})")
                                  << true;
        QTest::newRow("PUT 500 HTML") << false << 500 << QByteArray("text/html") << QByteArray("<b>no</b>") << true;
    }
    void writeAnswers()
    {
        QFETCH(bool, post);
        QFETCH(int, status);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(bool, expectError);

        auto activity = std::make_shared<Activity>();
        activity->setGuid(u"6A1C0D3E-55F2-4C1B-9E0A-3B7D2F4E5A61"_s);
        (*m_server)->addFailure(
            answer(post ? u"activities"_s : u"activities/"_s + activity->guid(), status, body, contentType));
        LogCapture logs;
        WriteCalls calls;
        if (post)
            client.postActivity(activity, calls.handler());
        else
            client.putActivity(activity, calls.handler());
        ZV_WAIT_FOR_ONE(calls);
        QCOMPARE(calls.error.has_value(), expectError);
        QCOMPARE(logs.system(),
                 expectError ? QStringList {u"Error: "_s + calls.error->fullDescription()} : QStringList());
    }
};

QTEST_GUILESS_MAIN(TestZVClientEndpoints)
#include "tst_zvclientendpoints.moc"
