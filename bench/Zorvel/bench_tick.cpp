// The CPU cost of one tick of the activities screen: posting the tick to 20 and
// to 200 activity rows, against posting it to nobody, per row.
#include "ActivityViewCell.h"
#include "NotificationCenter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

double cpuSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// CPU seconds per tick, the median of several runs.
double costPerTick(int ticks)
{
    std::vector<double> runs;
    for (int run = 0; run < 7; ++run) {
        const double begin = cpuSeconds();
        for (int i = 0; i < ticks; ++i)
            NotificationCenter::defaultCenter().postNotification(kTimerTickNotification);
        runs.push_back((cpuSeconds() - begin) / ticks);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The rows write one debug line per tick; the program sends it to stderr or
    // the journal. Here it is formatted and then dropped, so the terminal's speed
    // does not enter the figure.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    const double bare = costPerTick(20000);
    std::printf("bare post to nobody: %.3f us per tick\n", bare * 1e6);
    for (int rows : {20, 200}) {
        std::vector<std::unique_ptr<ActivityViewCell>> cells;
        for (int i = 0; i < rows; ++i) {
            auto activity = std::make_shared<Activity>();
            activity->setState(ActivityStateRunning);
            activity->setStart(QDateTime::currentDateTimeUtc().addSecs(-3600 - i));
            QList<IntervalPtr> intervals;
            for (int k = 0; k < 3; ++k) {
                auto interval = std::make_shared<Interval>();
                interval->setFrom(QDateTime::fromSecsSinceEpoch(1700000000 + k * 100, Qt::UTC));
                interval->setTo(QDateTime::fromSecsSinceEpoch(1700000050 + k * 100, Qt::UTC));
                intervals.append(interval);
            }
            activity->setIntervals(intervals);
            auto cell = std::make_unique<ActivityViewCell>();
            cell->setupWithActivity(activity);
            cells.push_back(std::move(cell));
        }
        const int ticks = rows == 20 ? 2000 : 300;
        const double cost = costPerTick(ticks);
        std::printf("%d rows: %.1f us per tick, %.2f us per row per tick, %.0fx the bare post per row; "
                    "%.3f%% of one core at one tick a second\n",
                    rows, cost * 1e6, (cost - bare) / rows * 1e6, (cost - bare) / rows / bare, cost * 100);
    }
    return 0;
}
