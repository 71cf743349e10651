// The row of one activity: its type's image and name, the elapsed time that
// follows the one-second tick, and the pause or resume and stop buttons.
#pragma once

#include "ActivityType.h"
#include "CollectionViewCell.h"
#include "Geometry.h"
#include "NotificationCenter.h"
#include "TextView.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <optional>

// Posted once a second by the activities screen; every activity row recomputes its time on it.
inline const QString kTimerTickNotification = QStringLiteral("TimerTickNotification");

class ActivityViewCellDelegate
{
public:
    virtual ~ActivityViewCellDelegate() = default;
    virtual void didStopActivity(const ActivityPtr &activity) = 0;
    virtual void didPauseActivity(const ActivityPtr &activity) = 0;
    virtual void didResumeActivity(const ActivityPtr &activity) = 0;
};

class ActivityViewCell final : public CollectionViewCell
{
public:
    // Keeps the frame's origin; the size is always 400 x 50 until the layout places the row.
    explicit ActivityViewCell(const Rect &frame = {}, QWidget *parent = nullptr);
    ~ActivityViewCell() override;

    // Filled by the screen: the type's tinted image (setPixmap, or setTypeImage) and its name.
    QLabel *typeImageView() const { return m_typeImageView; }
    TextView *typeLabel() const { return m_typeLabel; }
    TextView *timerLabel() const { return m_timerLabel; }
    QPushButton *pauseButton() const { return m_pauseButton; }
    QPushButton *resumeButton() const { return m_resumeButton; }
    QPushButton *stopButton() const { return m_stopButton; }

    // Shows the image at its own size, centred; none leaves the view empty.
    void setTypeImage(const std::optional<QImage> &image);

    // Not owned: the screen that holds the collection view outlives its cells.
    ActivityViewCellDelegate *delegate() const { return m_delegate; }
    void setDelegate(ActivityViewCellDelegate *delegate) { m_delegate = delegate; }

    const ActivityPtr &activity() const { return m_activity; }
    void setActivity(const ActivityPtr &activity) { m_activity = activity; }

    // Shows an activity: the buttons for its state, then its elapsed time.
    void setupWithActivity(const ActivityPtr &activity);
    // Recomputes the elapsed time from the clock and writes it to the timer label.
    void updateDuration();

    // The elapsed seconds of an activity at a moment: its closed intervals, plus the
    // whole seconds since its start while it runs; 0 without an activity.
    static qint64 elapsedSeconds(const Activity *activity, const QDateTime &now);
    // "%.2d:%.2d:%.2d" of hours, minutes and seconds; hours may take more digits.
    static QString durationText(qint64 seconds);

    void onStop();
    void onPause();
    void onResume();
    void onTick();

private:
    QPushButton *makeButton(const QString &imageName, const QString &accessibleName, const Rect &frame);

    QLabel *m_typeImageView = nullptr;
    TextView *m_typeLabel = nullptr;
    TextView *m_timerLabel = nullptr;
    QPushButton *m_pauseButton = nullptr;
    QPushButton *m_resumeButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    ActivityViewCellDelegate *m_delegate = nullptr;
    ActivityPtr m_activity;
    NotificationCenter::Token m_tickToken = 0;
};
