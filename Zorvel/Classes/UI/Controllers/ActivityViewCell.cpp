#include "ActivityViewCell.h"

#include "Clock.h"
#include "Images.h"
#include "Log.h"
#include "TextView.h"

#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {

constexpr Size kCellSize {400, 50};
constexpr Rect kTypeLabelFrame {50, 35, 100, 15};
constexpr Rect kTypeImageFrame {0, 0, 50, 50};
constexpr Rect kTimerLabelFrame {50, 0, 100, 35};
constexpr Rect kPauseResumeFrame {210, 2, 46, 46};
constexpr Rect kStopFrame {260, 2, 46, 46};

QFont systemFont(int pointSize)
{
    // Sizes are in points of the view's coordinates, which are logical pixels here.
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pointSize);
    return font;
}

// Labels show text only; clicks go through them to the row.
TextView *makeLabel(QWidget *parent, int fontSize, const Rect &frame)
{
    auto *label = new TextView(parent);
    label->setFont(systemFont(fontSize));
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    Geometry::setFrame(label, frame);
    return label;
}

} // namespace

ActivityViewCell::ActivityViewCell(const Rect &frame, QWidget *parent)
    : CollectionViewCell(parent)
{
    Geometry::setFrame(this, {frame.x, frame.y, kCellSize.width, kCellSize.height});
    QWidget *content = contentView();

    m_typeLabel = makeLabel(content, 12, kTypeLabelFrame);

    m_typeImageView = new QLabel(content);
    m_typeImageView->setAlignment(Qt::AlignCenter);
    m_typeImageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    Geometry::setFrame(m_typeImageView, kTypeImageFrame);

    m_timerLabel = makeLabel(content, 18, kTimerLabelFrame);

    m_pauseButton = makeButton(QStringLiteral("pause@2x.png"), QStringLiteral("Pause"), kPauseResumeFrame);
    QObject::connect(m_pauseButton, &QPushButton::clicked, this, [this] { onPause(); });
    m_resumeButton = makeButton(QStringLiteral("resume@2x.png"), QStringLiteral("Resume"), kPauseResumeFrame);
    QObject::connect(m_resumeButton, &QPushButton::clicked, this, [this] { onResume(); });
    m_stopButton = makeButton(QStringLiteral("stop@2x.png"), QStringLiteral("Stop"), kStopFrame);
    QObject::connect(m_stopButton, &QPushButton::clicked, this, [this] { onStop(); });

    m_tickToken = NotificationCenter::defaultCenter().addObserver(kTimerTickNotification,
                                                                  [this](const QString &) { onTick(); });
}

ActivityViewCell::~ActivityViewCell()
{
    NotificationCenter::defaultCenter().removeObserver(m_tickToken);
}

QPushButton *ActivityViewCell::makeButton(const QString &imageName, const QString &accessibleName, const Rect &frame)
{
    auto *button = new QPushButton(contentView());
    const QSize size(int(frame.width), int(frame.height));
    // Both densities, so that the image stays crisp when the row is drawn at 2x.
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0})
        if (const std::optional<QPixmap> pixmap = Images::pixmap(imageName, size, ratio))
            icon.addPixmap(*pixmap);
    button->setIcon(icon);
    button->setIconSize(size);
    button->setFlat(true);
    // Borderless on a clear background; a soft disc behind the image while it is pressed.
    button->setStyleSheet(
        QStringLiteral("QPushButton { border: none; background: transparent; padding: 0; }"
                       "QPushButton:pressed { background: rgba(0, 0, 0, 30); border-radius: 23px; }"));
    button->setAccessibleName(accessibleName);
    button->setToolTip(accessibleName);
    // Reachable by Tab, but a click leaves the keyboard focus where it was.
    button->setFocusPolicy(Qt::TabFocus);
    button->setCursor(Qt::PointingHandCursor);
    Geometry::setFrame(button, frame);
    return button;
}

void ActivityViewCell::setTypeImage(const std::optional<QImage> &image)
{
    Images::showInImageView(m_typeImageView, image);
}

void ActivityViewCell::setupWithActivity(const ActivityPtr &activity)
{
    const ActivityState state = activity ? activity->state() : ActivityStateStopped;
    // A stopped activity can be neither paused nor resumed from its row.
    m_pauseButton->setVisible(state == ActivityStateRunning);
    m_resumeButton->setVisible(state == ActivityStatePaused);
    m_activity = activity;
    updateDuration();
}

qint64 ActivityViewCell::elapsedSeconds(const Activity *activity, const QDateTime &now)
{
    if (!activity)
        return 0;
    qint64 total = 0;
    for (const IntervalPtr &interval : activity->intervals())
        if (interval)
            total += interval->duration();
    // Only the open period advances: a paused or stopped activity's time lies in its
    // intervals already, and its start is the start of the last period it ran.
    if (activity->state() == ActivityStateRunning && activity->start())
        total += activity->start()->msecsTo(now) / 1000; // whole seconds, truncated toward zero
    return total;
}

QString ActivityViewCell::durationText(qint64 seconds)
{
    const long long hours = seconds / 3600;
    const long long minutes = (seconds % 3600) / 60;
    const long long secs = seconds % 60;
    return QString::asprintf("%.2lld:%.2lld:%.2lld", hours, minutes, secs);
}

void ActivityViewCell::updateDuration()
{
    m_timerLabel->setString(durationText(elapsedSeconds(m_activity.get(), Clock::now())));
    Geometry::setFrame(m_timerLabel, kTimerLabelFrame);
    qCDebug(lcZorvel, "Timer label: %s", qUtf8Printable(Geometry::frame(m_timerLabel).toString()));
}

void ActivityViewCell::onStop()
{
    if (m_delegate && m_activity)
        m_delegate->didStopActivity(m_activity);
}

void ActivityViewCell::onPause()
{
    if (m_delegate && m_activity)
        m_delegate->didPauseActivity(m_activity);
}

void ActivityViewCell::onResume()
{
    if (m_delegate && m_activity)
        m_delegate->didResumeActivity(m_activity);
}

void ActivityViewCell::onTick()
{
    updateDuration();
}
