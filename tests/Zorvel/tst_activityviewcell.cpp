// Tests of the activity row: elapsed time against a controlled clock, buttons
// per state, clicks reaching the delegate, the tick observation and a 2x PNG.
#include "ActivityViewCell.h"

#include "Clock.h"
#include "Images.h"
#include "Log.h"
#include "QColor+Extension.h"
#include "QImage+Extension.h"
#include "TextView.h"

#include <QDir>
#include <QLabel>
#include <QLoggingCategory>
#include <QPainter>
#include <QPushButton>
#include <QtTest>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow = QDateTime(QDate(2024, 3, 1), QTime(10, 6, 0), Qt::UTC);

// An activity with closed intervals of the given lengths (seconds, fractions kept)
// and, when given, a start that many milliseconds before kNow.
ActivityPtr makeActivity(ActivityState state, const QList<double> &intervalSeconds, std::optional<qint64> startMsAgo)
{
    auto activity = std::make_shared<Activity>();
    activity->setGuid(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    activity->setState(state);
    QList<IntervalPtr> intervals;
    QDateTime from = kNow.addDays(-30);
    for (double seconds : intervalSeconds) {
        auto interval = std::make_shared<Interval>();
        interval->setFrom(from);
        interval->setTo(from.addMSecs(qint64(seconds * 1000)));
        intervals.append(interval);
        from = from.addDays(1);
    }
    activity->setIntervals(intervals);
    if (startMsAgo)
        activity->setStart(kNow.addMSecs(-*startMsAgo));
    return activity;
}

struct RecordingDelegate final : ActivityViewCellDelegate
{
    QStringList calls;
    QList<ActivityPtr> activities;
    void didStopActivity(const ActivityPtr &a) override { record(u"stop"_s, a); }
    void didPauseActivity(const ActivityPtr &a) override { record(u"pause"_s, a); }
    void didResumeActivity(const ActivityPtr &a) override { record(u"resume"_s, a); }
    void record(const QString &call, const ActivityPtr &a)
    {
        calls.append(call);
        activities.append(a);
    }
};

constexpr qint64 kNoStart = std::numeric_limits<qint64>::min();

void tick()
{
    NotificationCenter::defaultCenter().postNotification(kTimerTickNotification);
}

QString pngDirectory()
{
    const QString path = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(u"../png"_s);
    QDir().mkpath(path);
    return path;
}

} // namespace

class tst_ActivityViewCell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Every cell logs its frame on every tick; the one test about that line turns it back on.
        QLoggingCategory::setFilterRules(u"zorvel.debug=false"_s);
    }
    void init() { Clock::setNowForTesting(kNow); }
    void cleanup() { Clock::setNowForTesting(std::nullopt); }

    void elapsedTime_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QList<double>>("intervals");
        QTest::addColumn<qint64>("startMsAgo"); // kNoStart: none
        QTest::addColumn<QString>("expected");

        const int running = ActivityStateRunning, paused = ActivityStatePaused, stopped = ActivityStateStopped;
        QTest::newRow("intervals truncated one by one")
            << paused << QList<double> {60.9, 59.9} << kNoStart << u"00:01:59"_s;
        QTest::newRow("running without start: intervals only")
            << running << QList<double> {60.9, 59.9} << kNoStart << u"00:01:59"_s;
        QTest::newRow("running, started 1:01:01.7 ago")
            << running << QList<double> {} << qint64(3661700) << u"01:01:01"_s;
        QTest::newRow("running adds its open period to the intervals")
            << running << QList<double> {60, 30.5} << qint64(10999) << u"00:01:40"_s;
        QTest::newRow("hours take more than two digits")
            << stopped << QList<double> {360000} << kNoStart << u"100:00:00"_s;
        QTest::newRow("nothing yet") << running << QList<double> {} << qint64(0) << u"00:00:00"_s;
        // Paused at 10:05:30 after starting at 10:00:00, looked at 10:06:00: the last
        // running period lies in the interval and is not counted again from start.
        QTest::newRow("paused counts its intervals only")
            << paused << QList<double> {330} << qint64(360000) << u"00:05:30"_s;
        QTest::newRow("stopped counts its intervals only")
            << stopped << QList<double> {330} << qint64(360000) << u"00:05:30"_s;
        // A start ahead of this machine's clock: the part keeps its sign.
        QTest::newRow("start in the future") << running << QList<double> {} << qint64(-5300) << u"00:00:-05"_s;
    }
    void elapsedTime()
    {
        QFETCH(int, state);
        QFETCH(QList<double>, intervals);
        QFETCH(qint64, startMsAgo);
        QFETCH(QString, expected);

        ActivityViewCell cell;
        cell.setupWithActivity(makeActivity(ActivityState(state), intervals,
                                            startMsAgo == kNoStart ? std::nullopt : std::optional<qint64>(startMsAgo)));
        QCOMPARE(cell.timerLabel()->text(), expected);
    }

    void ticksAdvanceOnlyWhileRunning_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("afterTenTicks");
        QTest::newRow("running") << int(ActivityStateRunning) << u"00:06:00"_s << u"00:06:10"_s;
        QTest::newRow("paused") << int(ActivityStatePaused) << u"00:05:30"_s << u"00:05:30"_s;
        QTest::newRow("stopped") << int(ActivityStateStopped) << u"00:05:30"_s << u"00:05:30"_s;
    }
    void ticksAdvanceOnlyWhileRunning()
    {
        QFETCH(int, state);
        QFETCH(QString, before);
        QFETCH(QString, afterTenTicks);

        // Started at 10:00:00; paused or stopped ones closed an interval at 10:05:30.
        const QList<double> intervals = state == ActivityStateRunning ? QList<double> {} : QList<double> {330};
        ActivityViewCell cell;
        cell.setupWithActivity(makeActivity(ActivityState(state), intervals, 360000));
        QCOMPARE(cell.timerLabel()->text(), before);
        for (int second = 1; second <= 10; ++second) {
            Clock::setNowForTesting(kNow.addSecs(second));
            tick();
        }
        QCOMPARE(cell.timerLabel()->text(), afterTenTicks);
    }

    void tickBeforeAnyActivityLogsTheFrame()
    {
        QLoggingCategory::setFilterRules(u"zorvel.debug=true"_s);
        static QStringList lines;
        lines.clear();
        const QtMessageHandler previous
            = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
                  if (type == QtDebugMsg)
                      lines.append(QString::fromUtf8(context.category) + u' ' + message);
              });
        {
            ActivityViewCell cell;
            cell.timerLabel()->setText(u"stale"_s);
            tick();
            QCOMPARE(cell.timerLabel()->text(), u"00:00:00"_s);
        }
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(u"zorvel.debug=false"_s);
        QCOMPARE(lines, QStringList {u"zorvel Timer label: {{50, 0}, {100, 35}}"_s});
    }

    void buttonsPerState_data()
    {
        QTest::addColumn<int>("previous"); // the state of the cell's last use; -1: a new cell
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("pause");
        QTest::addColumn<bool>("resume");
        const int none = -1, running = ActivityStateRunning, paused = ActivityStatePaused,
                  stopped = ActivityStateStopped;
        QTest::newRow("running") << none << running << true << false;
        QTest::newRow("paused") << none << paused << false << true;
        QTest::newRow("stopped") << none << stopped << false << false;
        QTest::newRow("paused, reused for running") << paused << running << true << false;
        QTest::newRow("running, reused for paused") << running << paused << false << true;
        QTest::newRow("running, reused for stopped") << running << stopped << false << false;
        QTest::newRow("paused, reused for stopped") << paused << stopped << false << false;
    }
    void buttonsPerState()
    {
        QFETCH(int, previous);
        QFETCH(int, state);
        QFETCH(bool, pause);
        QFETCH(bool, resume);

        ActivityViewCell cell;
        if (previous >= 0)
            cell.setupWithActivity(makeActivity(ActivityState(previous), {}, 0));
        cell.setupWithActivity(makeActivity(ActivityState(state), {}, 0));
        QCOMPARE(cell.pauseButton()->isVisibleTo(&cell), pause);
        QCOMPARE(cell.resumeButton()->isVisibleTo(&cell), resume);
        QVERIFY(cell.stopButton()->isVisibleTo(&cell));
    }

    void buttonsCallTheDelegate_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("state");
        QTest::newRow("stop a running one") << u"Stop"_s << int(ActivityStateRunning);
        QTest::newRow("stop a paused one") << u"Stop"_s << int(ActivityStatePaused);
        QTest::newRow("pause") << u"Pause"_s << int(ActivityStateRunning);
        QTest::newRow("resume") << u"Resume"_s << int(ActivityStatePaused);
    }
    void buttonsCallTheDelegate()
    {
        QFETCH(QString, button);
        QFETCH(int, state);

        RecordingDelegate delegate;
        ActivityViewCell cell;
        cell.setDelegate(&delegate);
        cell.setupWithActivity(makeActivity(ActivityStateRunning, {}, 0));
        // Reused for another activity: the click is about the one shown now.
        const ActivityPtr current = makeActivity(ActivityState(state), {}, 0);
        cell.setupWithActivity(current);
        cell.show();

        QPushButton *target = nullptr;
        for (QPushButton *candidate : cell.findChildren<QPushButton *>())
            if (candidate->accessibleName() == button && candidate->isVisible())
                target = candidate;
        QVERIFY2(target, "no visible button of that accessible name");
        QTest::mouseClick(target, Qt::LeftButton);

        QCOMPARE(delegate.calls, QStringList {button.toLower()});
        QCOMPARE(delegate.activities.constFirst(), current);
        QCOMPARE(current->state(), ActivityState(state)); // the cell itself changes nothing
    }

    void clicksWithoutActivityOrDelegateDoNothing()
    {
        RecordingDelegate delegate;
        ActivityViewCell cell;
        cell.setDelegate(&delegate);
        cell.onStop();
        cell.onPause();
        cell.onResume();
        QVERIFY(delegate.calls.isEmpty());

        cell.setDelegate(nullptr);
        cell.setupWithActivity(makeActivity(ActivityStateRunning, {}, 0));
        cell.onStop(); // must not crash
    }

    void observesTheTickFromConstructionToDestruction()
    {
        NotificationCenter &center = NotificationCenter::defaultCenter();
        const int before = center.observerCount(kTimerTickNotification);
        auto *first = new ActivityViewCell;
        auto *second = new ActivityViewCell;
        QCOMPARE(center.observerCount(kTimerTickNotification), before + 2);
        delete first;
        QCOMPARE(center.observerCount(kTimerTickNotification), before + 1);
        second->setupWithActivity(makeActivity(ActivityStateRunning, {}, 0));
        Clock::setNowForTesting(kNow.addSecs(3));
        tick(); // the destroyed cell is not called, the living one still is
        QCOMPARE(second->timerLabel()->text(), u"00:00:03"_s);
        delete second;
        QCOMPARE(center.observerCount(kTimerTickNotification), before);
    }

    void layout()
    {
        QWidget parent;
        parent.resize(500, 200);
        ActivityViewCell cell({10, 20, 320, 99}, &parent);
        QCOMPARE(Geometry::frame(&cell), (Rect {10, 20, 400, 50}));
        QCOMPARE(cell.contentView()->geometry(), cell.rect());

        const struct
        {
            QWidget *view;
            Rect frame;
        } expected[] = {
            {cell.typeLabel(), {50, 35, 100, 15}},   {cell.typeImageView(), {0, 0, 50, 50}},
            {cell.timerLabel(), {50, 0, 100, 35}},   {cell.pauseButton(), {210, 2, 46, 46}},
            {cell.resumeButton(), {210, 2, 46, 46}}, {cell.stopButton(), {260, 2, 46, 46}},
        };
        for (const auto &[view, frame] : expected) {
            QCOMPARE(view->parentWidget(), cell.contentView());
            QCOMPARE(Geometry::frame(view), frame);
        }
        // The resume button, made after the pause button, lies above it.
        const QObjectList order = cell.contentView()->children();
        QVERIFY(order.indexOf(cell.resumeButton()) > order.indexOf(cell.pauseButton()));

        QCOMPARE(cell.typeLabel()->font().pixelSize(), 12);
        QCOMPARE(cell.timerLabel()->font().pixelSize(), 18);
        QCOMPARE(cell.pauseButton()->accessibleName(), u"Pause"_s);
        QCOMPARE(cell.resumeButton()->accessibleName(), u"Resume"_s);
        QCOMPARE(cell.stopButton()->accessibleName(), u"Stop"_s);
        for (QPushButton *button : {cell.pauseButton(), cell.resumeButton(), cell.stopButton()})
            QVERIFY2(!button->icon().isNull(), qPrintable(button->accessibleName()));
    }

    void typeImageFitsTheView()
    {
        ActivityViewCell cell;
        cell.setTypeImage(Images::image(u"code"_s));
        QCOMPARE(cell.typeImageView()->pixmap().deviceIndependentSize(), QSizeF(35, 35));
        QImage large(200, 100, QImage::Format_ARGB32_Premultiplied);
        large.fill(Qt::black);
        cell.setTypeImage(large);
        QCOMPARE(cell.typeImageView()->pixmap().deviceIndependentSize(), QSizeF(50, 25));
        cell.setTypeImage(std::nullopt); // a reused row with a type without image
        QVERIFY(cell.typeImageView()->pixmap().isNull());
    }

    // Draws a running and a paused row at 2x for a person to look at, and checks
    // that the button images landed where the buttons are.
    void renderRowsAt2x()
    {
        QWidget panel;
        panel.resize(320, 100);
        panel.setAutoFillBackground(true);
        QPalette palette = panel.palette();
        palette.setColor(QPalette::Window, QColor(0xf4, 0xf4, 0xf4));
        panel.setPalette(palette);

        ActivityViewCell running({0, 50, 320, 50}, &panel);
        running.resize(320, 50);
        running.setTypeImage(
            Extension::imageTintedWithColor(Images::image(u"code"_s, {}, 2), Extension::colorWithRGB(0x2e86c1)));
        running.typeLabel()->setString(u"Code review"_s);
        running.setupWithActivity(makeActivity(ActivityStateRunning, {1200}, 3661700));

        ActivityViewCell paused({0, 0, 320, 50}, &panel);
        paused.resize(320, 50);
        paused.setTypeImage(
            Extension::imageTintedWithColor(Images::image(u"meeting"_s, {}, 2), Extension::colorWithRGB(0xe04f2f)));
        paused.typeLabel()->setString(u"Meeting"_s);
        paused.setupWithActivity(makeActivity(ActivityStatePaused, {330}, 360000));
        panel.show();

        QPixmap pixmap(panel.size() * 2);
        pixmap.setDevicePixelRatio(2);
        pixmap.fill(Qt::transparent);
        panel.render(&pixmap);
        const QString path = pngDirectory() + u"/activity-rows.png"_s;
        QVERIFY(pixmap.save(path));
        qInfo("wrote %s", qPrintable(path));

        // In Qt's top-left pixels at 2x: the first row's stop disc centre is at (283, 25) points.
        const QImage image = pixmap.toImage();
        const QColor stopCentreEdge = image.pixelColor(2 * 283, 2 * 25 + 2 * 10); // inside the disc, below the square
        QVERIFY2(stopCentreEdge.red() > 180 && stopCentreEdge.green() < 100, qPrintable(stopCentreEdge.name()));
        const QColor pauseDisc = image.pixelColor(2 * 233, 2 * (25 + 12));
        QVERIFY2(pauseDisc.red() > 200 && pauseDisc.blue() < 80, qPrintable(pauseDisc.name())); // amber
        const QColor resumeDisc = image.pixelColor(2 * 233, 2 * (75 + 12));
        QVERIFY2(resumeDisc.green() > 140 && resumeDisc.red() < 100, qPrintable(resumeDisc.name())); // green
    }
};

QTEST_MAIN(tst_ActivityViewCell)
#include "tst_activityviewcell.moc"
