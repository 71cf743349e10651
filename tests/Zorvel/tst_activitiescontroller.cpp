// The activities screen against the reference service: loading, the two
// sections, group navigation, starting and changing activities, errors, the
// tick and the bar's actions.
#include "ActivitiesController.h"
#include "ActivityTypeViewCell.h"
#include "ActivityViewCell.h"
#include "Clock.h"
#include "NotificationCenter.h"
#include "PushButton.h"
#include "TextView.h"
#include "TimeLoggingService.h"
#include "ZVClient.h"
#include "ZVCredentialStorage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr int kWait = 10000;

struct LogoutRecorder final : ActivitiesControllerDelegate
{
    int calls = 0;
    void didLogoutSuccessfully() override { ++calls; }
};

QList<RecordedRequest> requestsMatching(const TimeLoggingService &service, const QString &method,
                                        const QString &pathSuffix)
{
    QList<RecordedRequest> result;
    for (const RecordedRequest &request : service.requests())
        if (request.method == method && request.path.endsWith(pathSuffix))
            result.append(request);
    return result;
}

bool isGroup(const ActivityTypePtr &type)
{
    return bool(std::dynamic_pointer_cast<ActivityTypeGroup>(type));
}

} // namespace

class tst_ActivitiesController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void firstLoadFillsBothSections();
    void groupNavigation();
    void selectingAnActivityChangesNothing();
    void clickingAPlainTypeStartsAnActivity();
    void failingRequestsShowTheirError_data();
    void failingRequestsShowTheirError();
    void actionsChangeTheActivity_data();
    void actionsChangeTheActivity();
    void failedChangeShowsErrorAndReloadRestores();
    void tickIsPostedEverySecondAlsoAfterLogout();
    void logoutRemovesTokenAndTellsDelegate();

private:
    void signIn();
    void waitForLoad();
    // An activity of the demo account in the given state, made so by the service itself.
    ActivityPtr activityInState(ActivityState state);

    std::unique_ptr<TimeLoggingService> m_service;
    std::unique_ptr<ActivitiesController> m_controller;
    LogoutRecorder m_delegate;
};

void tst_ActivitiesController::initTestCase()
{
    QCoreApplication::setOrganizationDomain(QStringLiteral("zorvel.org"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_activitiescontroller"));
    ServiceOptions options;
    options.port = 0;
    options.testHooks = true;
    m_service = std::make_unique<TimeLoggingService>(options);
    QString error;
    QVERIFY2(m_service->start(&error), qPrintable(error));
    ZVClient::setBaseURLForTesting(m_service->baseUrl());
}

void tst_ActivitiesController::init()
{
    signIn();
    m_service->clearFailures();
    m_service->clearRequests();
    m_controller = std::make_unique<ActivitiesController>(Rect {0, 0, 320, 399});
    m_controller->setDelegate(&m_delegate);
    m_controller->view()->show();
    waitForLoad();
}

void tst_ActivitiesController::cleanup()
{
    m_controller.reset();
    Clock::setNowForTesting(std::nullopt);
}

void tst_ActivitiesController::cleanupTestCase()
{
    ZVCredentialStorage::sharedCredentialStorage().removeToken();
    ZVClient::setBaseURLForTesting(QString());
}

void tst_ActivitiesController::signIn()
{
    const auto tokens = m_service->issueTokens(TimeLoggingService::demoEmail);
    auto token = std::make_shared<ZVToken>();
    token->setAccessToken(tokens.accessToken);
    token->setRefreshToken(tokens.refreshToken);
    ZVCredentialStorage::sharedCredentialStorage().storeToken(token);
    QVERIFY(ZVClient::sharedInstance().isLoggedIn());
}

void tst_ActivitiesController::waitForLoad()
{
    QTRY_VERIFY_WITH_TIMEOUT(!m_controller->loadingView(), kWait);
}

ActivityPtr tst_ActivitiesController::activityInState(ActivityState state)
{
    for (const ActivityPtr &activity : m_controller->activities())
        if (activity->state() == state)
            return activity;
    return nullptr;
}

void tst_ActivitiesController::firstLoadFillsBothSections()
{
    CollectionView *collection = m_controller->collectionView();
    QVERIFY(collection->isVisible());
    QVERIFY(m_controller->errorTextView()->string().isEmpty());
    QVERIFY(!m_controller->activities().isEmpty());
    QCOMPARE(collection->numberOfSections(), 2);
    QCOMPARE(collection->numberOfItemsInSection(0), m_controller->activities().size());

    // The top level is every type, each group followed at once by all of its descendants.
    const QList<ActivityTypePtr> &types = m_controller->activityTypes();
    QCOMPARE(m_controller->activityTypesShown(), types);
    QCOMPARE(collection->numberOfItemsInSection(1), types.size());
    QVERIFY(std::any_of(types.cbegin(), types.cend(), [](const auto &type) { return type->parentGuid(); }));
    for (qsizetype i = 0; i < types.size(); ++i) {
        if (!types[i]->parentGuid())
            continue;
        // Walking back from a member, its parent comes before any type outside the parent's subtree.
        qsizetype j = i - 1;
        while (j >= 0 && types[j]->guid() != *types[i]->parentGuid()) {
            QVERIFY2(types[j]->parentGuid(), "a root type lies between a member and its group");
            j--;
        }
        QVERIFY2(j >= 0, "a member comes before its group");
    }

    // The first load asked for the types, then for the activities.
    const QList<RecordedRequest> requests = m_service->requests();
    QCOMPARE(requests.size(), 2);
    QVERIFY(requests[0].path.endsWith(QLatin1String("oauth/api/types")));
    QVERIFY(requests[1].path.endsWith(QLatin1String("oauth/api/activities")));

    // Row cells show the type's name; tiles show names, and groups their member count.
    auto *row = dynamic_cast<ActivityViewCell *>(collection->cellForItemAtIndexPath({0, 0}));
    QVERIFY(row);
    const ActivityTypePtr rowType = m_controller->findTypeById(m_controller->activities().first()->typeId());
    QVERIFY(rowType);
    QCOMPARE(row->typeLabel()->string(), rowType->name());
    for (qsizetype i = 0; i < types.size(); ++i) {
        auto *tile = static_cast<ActivityTypeViewCell *>(collection->cellForItemAtIndexPath({1, i}));
        if (!tile)
            continue; // out of sight
        QCOMPARE(tile->typeLabel()->string(), types[i]->name());
        const auto group = std::dynamic_pointer_cast<ActivityTypeGroup>(types[i]);
        QCOMPARE(tile->childrenCountLabel()->string(),
                 group ? QString::number(group->children() ? group->children()->size() : 0) : QString());
    }
}

void tst_ActivitiesController::groupNavigation()
{
    // A root group that holds a nested group.
    ActivityTypeGroupPtr outer, inner;
    for (const ActivityTypePtr &type : m_controller->activityTypes()) {
        auto group = std::dynamic_pointer_cast<ActivityTypeGroup>(type);
        if (!group || group->parentGuid() || !group->children())
            continue;
        for (const ActivityTypePtr &child : *group->children())
            if (auto nested = std::dynamic_pointer_cast<ActivityTypeGroup>(child)) {
                outer = group;
                inner = nested;
            }
    }
    QVERIFY2(outer && inner, "the demo data has a group inside a group");
    CollectionView *collection = m_controller->collectionView();
    const auto select = [&](const ActivityTypePtr &type) {
        const qsizetype index = m_controller->activityTypesShown().indexOf(type);
        QVERIFY(index >= 0);
        m_controller->didSelectItemAtIndexPath(collection, {1, index});
    };
    const auto expectInside = [&](const ActivityTypeGroupPtr &group) {
        QCOMPARE(m_controller->parentGroup(), group);
        QList<ActivityTypePtr> expected {ActivityType::upType()};
        expected.append(*group->children());
        QCOMPARE(m_controller->activityTypesShown(), expected);
        QCOMPARE(collection->numberOfItemsInSection(1), expected.size());
        auto *first = static_cast<ActivityTypeViewCell *>(collection->cellForItemAtIndexPath({1, 0}));
        QVERIFY(first);
        QCOMPARE(first->typeLabel()->string(), QStringLiteral("Go back"));
        QCOMPARE(first->childrenCountLabel()->string(), QString());
    };

    select(outer);
    expectInside(outer);
    select(inner);
    expectInside(inner);
    select(ActivityType::upType()); // from the nested group to its parent
    expectInside(outer);
    select(ActivityType::upType()); // from a root group to the top level
    QVERIFY(!m_controller->parentGroup());
    QCOMPARE(m_controller->activityTypesShown(), m_controller->activityTypes());
    QVERIFY(m_service->requests().size() == 2); // navigation asks the service nothing
}

void tst_ActivitiesController::selectingAnActivityChangesNothing()
{
    const auto shown = m_controller->activityTypesShown();
    const auto activities = m_controller->activities();
    m_controller->didSelectItemAtIndexPath(m_controller->collectionView(), {0, 0});
    QCOMPARE(m_controller->activityTypesShown(), shown);
    QCOMPARE(m_controller->activities(), activities);
    QVERIFY(!m_controller->loadingView());
    QCOMPARE(m_service->requests().size(), 2);
}

void tst_ActivitiesController::clickingAPlainTypeStartsAnActivity()
{
    // A plain type inside a group, reached by clicking the group's tile first.
    ActivityTypeGroupPtr group;
    ActivityTypePtr member;
    for (const ActivityTypePtr &type : m_controller->activityTypes()) {
        auto candidate = std::dynamic_pointer_cast<ActivityTypeGroup>(type);
        if (!candidate || !candidate->children())
            continue;
        for (const ActivityTypePtr &child : *candidate->children())
            if (!isGroup(child)) {
                group = candidate;
                member = child;
            }
    }
    QVERIFY(group && member);
    CollectionView *collection = m_controller->collectionView();
    const qsizetype groupIndex = m_controller->activityTypesShown().indexOf(group);
    collection->scrollRectToVisible(collection->frameForItemAtIndexPath(IndexPath {1, groupIndex}));
    CollectionViewCell *tile = collection->cellForItemAtIndexPath({1, groupIndex});
    QVERIFY(tile);
    QTest::mouseClick(tile, Qt::LeftButton);
    QCOMPARE(m_controller->parentGroup(), group);

    const QDateTime click = QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC);
    Clock::setNowForTesting(click);
    m_service->clearRequests();
    const qsizetype memberIndex = m_controller->activityTypesShown().indexOf(member);
    collection->scrollRectToVisible(collection->frameForItemAtIndexPath(IndexPath {1, memberIndex}));
    tile = collection->cellForItemAtIndexPath({1, memberIndex});
    QVERIFY(tile);
    QTest::mouseClick(tile, Qt::LeftButton);
    QVERIFY(m_controller->loadingView());
    waitForLoad();

    const auto posts = requestsMatching(*m_service, QStringLiteral("POST"), QStringLiteral("oauth/api/activities"));
    QCOMPARE(posts.size(), 1);
    const QJsonObject body = QJsonDocument::fromJson(posts[0].body).object();
    QCOMPARE(body.keys().size(), 6);
    const QString id = body.value(u"id").toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                 .match(id)
                 .hasMatch(),
             qPrintable(id));
    QCOMPARE(body.value(u"typeId").toString(), member->guid());
    QCOMPARE(body.value(u"comment"), QJsonValue(QStringLiteral("")));
    QCOMPARE(body.value(u"status").toString(), QStringLiteral("running"));
    QCOMPARE(body.value(u"start").toInteger(), click.toSecsSinceEpoch());
    QCOMPARE(body.value(u"intervals").toArray(), QJsonArray());

    // The reload lists it and brings the grid back to the top level.
    QVERIFY(!m_controller->parentGroup());
    QCOMPARE(m_controller->activityTypesShown(), m_controller->activityTypes());
    QVERIFY(std::any_of(m_controller->activities().cbegin(), m_controller->activities().cend(),
                        [&](const ActivityPtr &activity) { return activity->guid() == id; }));
}

void tst_ActivitiesController::failingRequestsShowTheirError_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected");
    QTest::newRow("types") << QStringLiteral("types") << 500
                           << QStringLiteral("Request failed: internal server error (500)");
    QTest::newRow("activities") << QStringLiteral("activities") << 503
                                << QStringLiteral("Request failed: service unavailable (503)");
}

void tst_ActivitiesController::failingRequestsShowTheirError()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QString, expected);
    FailureRule rule;
    rule.path = path;
    rule.method = QStringLiteral("GET");
    rule.status = status;
    rule.body = "{}";
    m_service->addFailure(rule);

    m_controller->onReload();
    waitForLoad();
    QCOMPARE(m_controller->errorTextView()->string(), expected);
    QVERIFY(m_controller->collectionView()->isHidden());
    QVERIFY(m_controller->reloadButton()->isVisible()); // the bar stays usable

    QTest::mouseClick(m_controller->reloadButton(), Qt::LeftButton);
    waitForLoad();
    QVERIFY(m_controller->errorTextView()->string().isEmpty());
    QVERIFY(m_controller->collectionView()->isVisible());
    QVERIFY(!m_controller->activities().isEmpty());
}

void tst_ActivitiesController::actionsChangeTheActivity_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("stateBefore");
    QTest::addColumn<int>("stateAfter");
    QTest::addColumn<bool>("addsInterval");
    QTest::addColumn<bool>("startMoves");
    QTest::newRow("pause running") << "pause" << int(ActivityStateRunning) << int(ActivityStatePaused) << true << false;
    QTest::newRow("pause paused") << "pause" << int(ActivityStatePaused) << int(ActivityStatePaused) << false << false;
    QTest::newRow("stop running") << "stop" << int(ActivityStateRunning) << int(ActivityStateStopped) << true << false;
    QTest::newRow("stop paused") << "stop" << int(ActivityStatePaused) << int(ActivityStateStopped) << false << false;
    QTest::newRow("resume paused") << "resume" << int(ActivityStatePaused) << int(ActivityStateRunning) << false
                                   << true;
}

void tst_ActivitiesController::actionsChangeTheActivity()
{
    QFETCH(QString, action);
    QFETCH(int, stateBefore);
    QFETCH(int, stateAfter);
    QFETCH(bool, addsInterval);
    QFETCH(bool, startMoves);

    // Make the wanted starting state on the service first: the screen's own actions do it.
    ActivityPtr activity = activityInState(ActivityState(stateBefore));
    if (!activity) {
        activity = activityInState(stateBefore == ActivityStatePaused ? ActivityStateRunning : ActivityStatePaused);
        QVERIFY(activity);
        if (stateBefore == ActivityStatePaused)
            m_controller->didPauseActivity(activity);
        else
            m_controller->didResumeActivity(activity);
        waitForLoad();
        activity = activityInState(ActivityState(stateBefore));
    }
    QVERIFY(activity);
    const QString guid = activity->guid();
    const auto intervalsBefore = activity->intervals().size();
    const std::optional<QDateTime> startBefore = activity->start();
    QVERIFY(startBefore);

    const QDateTime click = startBefore->addSecs(330); // 5 min 30 s after the start
    Clock::setNowForTesting(click);
    m_service->clearRequests();
    if (action == QLatin1String("pause"))
        m_controller->didPauseActivity(activity);
    else if (action == QLatin1String("stop"))
        m_controller->didStopActivity(activity);
    else
        m_controller->didResumeActivity(activity);
    QVERIFY(m_controller->loadingView());
    waitForLoad();
    QVERIFY2(m_controller->errorTextView()->string().isEmpty(), qPrintable(m_controller->errorTextView()->string()));

    // What went over the wire.
    const auto puts
        = requestsMatching(*m_service, QStringLiteral("PUT"), QStringLiteral("oauth/api/activities/") + guid);
    QCOMPARE(puts.size(), 1);
    const QJsonObject body = QJsonDocument::fromJson(puts[0].body).object();
    const QJsonArray intervals = body.value(u"intervals").toArray();
    QCOMPARE(intervals.size(), intervalsBefore + (addsInterval ? 1 : 0));
    if (addsInterval) {
        const QJsonObject added = intervals.last().toObject();
        QCOMPARE(added.value(u"from").toInteger(), startBefore->toSecsSinceEpoch());
        QCOMPARE(added.value(u"to").toInteger(), click.toSecsSinceEpoch());
        QCOMPARE(added.value(u"id").toString(), added.value(u"id").toString().toUpper());
        QCOMPARE(added.value(u"id").toString().size(), 36);
    }
    QCOMPARE(body.value(u"start").toInteger(), (startMoves ? click : *startBefore).toSecsSinceEpoch());

    // The service's stored copy, as the reload brought it back.
    if (stateAfter == ActivityStateStopped
        && !std::any_of(m_controller->activities().cbegin(), m_controller->activities().cend(),
                        [&](const auto &a) { return a->guid() == guid; }))
        return; // a stopped activity may drop out of the list
    ActivityPtr stored;
    for (const ActivityPtr &candidate : m_controller->activities())
        if (candidate->guid() == guid)
            stored = candidate;
    QVERIFY(stored);
    QVERIFY(stored != activity); // a new record from the reload
    QCOMPARE(int(stored->state()), stateAfter);
    QCOMPARE(stored->intervals().size(), intervals.size());
    QCOMPARE(stored->start(), std::optional<QDateTime>(startMoves ? click : *startBefore));
}

void tst_ActivitiesController::failedChangeShowsErrorAndReloadRestores()
{
    ActivityPtr activity = activityInState(ActivityStateRunning);
    if (!activity)
        activity = activityInState(ActivityStatePaused);
    QVERIFY(activity);
    const QString guid = activity->guid();
    const ActivityState stateBefore = activity->state();

    FailureRule rule;
    rule.path = QStringLiteral("activities/") + guid;
    rule.method = QStringLiteral("PUT");
    rule.status = 500;
    rule.contentType = "text/html";
    rule.body = "<html>boom</html>";
    m_service->addFailure(rule);

    m_controller->didStopActivity(activity);
    waitForLoad();
    QCOMPARE(m_controller->errorTextView()->string(), QStringLiteral("Request failed: internal server error (500)"));
    QVERIFY(m_controller->collectionView()->isHidden());

    m_controller->onReload();
    waitForLoad();
    QVERIFY(m_controller->collectionView()->isVisible());
    ActivityPtr fromService;
    for (const ActivityPtr &candidate : m_controller->activities())
        if (candidate->guid() == guid)
            fromService = candidate;
    QVERIFY(fromService);
    QCOMPARE(fromService->state(), stateBefore);
}

void tst_ActivitiesController::tickIsPostedEverySecondAlsoAfterLogout()
{
    int ticks = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver(kTimerTickNotification,
                                                                       [&ticks](const QString &) { ++ticks; });
    QVERIFY(m_controller->timer()->isActive());
    QCOMPARE(m_controller->timer()->interval(), 1000);
    m_controller->onLogout();
    QVERIFY(m_controller->timer()->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 2, 5000);
    NotificationCenter::defaultCenter().removeObserver(token);

    // Gone with the screen.
    QPointer<QTimer> timer = m_controller->timer();
    m_controller.reset();
    QVERIFY(!timer);
}

void tst_ActivitiesController::logoutRemovesTokenAndTellsDelegate()
{
    const int before = m_delegate.calls;
    const auto actions = m_controller->menuButton()->menu()->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[0]->text(), QStringLiteral("Logout"));
    QCOMPARE(actions[1]->text(), QStringLiteral("Quit"));
    m_service->clearRequests();
    actions[0]->trigger();
    QCOMPARE(m_delegate.calls, before + 1);
    QVERIFY(!ZVCredentialStorage::sharedCredentialStorage().token());
    QVERIFY(!ZVClient::sharedInstance().isLoggedIn());
    QVERIFY(m_service->requests().isEmpty()); // nothing is sent
}

QTEST_MAIN(tst_ActivitiesController)
#include "tst_activitiescontroller.moc"
