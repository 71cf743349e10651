#include "ActivitiesController.h"

#include "ActivityTypeViewCell.h"
#include "Clock.h"
#include "Images.h"
#include "Log.h"
#include "NotificationCenter.h"
#include "PushButton.h"
#include "QColor+Extension.h"
#include "QImage+Extension.h"
#include "QList+Extension.h"
#include "TextView.h"
#include "ZVClient.h"

#include <QCoreApplication>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QUuid>

namespace {

constexpr double kBarHeight = 40;
constexpr double kErrorHeight = 100;
constexpr Size kActivityItemSize {320, 50};
constexpr Size kTypeItemSize {53, 53};
const QString kUnknownTypeName = QStringLiteral("Unknown type");

// Three dots: the menu button's face.
QIcon menuIcon()
{
    QPixmap pixmap(QSize(40, 40));
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 60, 60));
    for (int i = 0; i < 3; ++i)
        painter.drawEllipse(QPointF(10 + i * 10, 20), 3, 3);
    painter.end();
    return QIcon(pixmap);
}

} // namespace

ActivitiesController::ActivitiesController(const Rect &frame, QObject *parent)
    : ZVController(frame, parent)
{
}

ActivitiesController::~ActivitiesController()
{
    // The timer holds the screen: it must never fire into a screen that is going away.
    if (m_timer) {
        m_timer->stop();
        delete m_timer;
    }
    if (m_collectionView) {
        m_collectionView->setDataSource(nullptr);
        m_collectionView->setDelegate(nullptr);
        m_collectionView->setCollectionViewLayout(nullptr);
    }
}

void ActivitiesController::zvViewDidLoad()
{
    QWidget *root = view();
    const double width = root->width();
    const double height = root->height();

    m_errorTextView = new TextView(root);
    m_errorTextView->setAccessibleName(QStringLiteral("Error"));
    Geometry::setFrame(m_errorTextView, {0, height - kErrorHeight, width, kErrorHeight});

    m_collectionView = new CollectionView(root);
    m_collectionView->setAccessibleName(QStringLiteral("Activities and activity types"));
    Geometry::setFrame(m_collectionView, {0, kBarHeight, width, height - kBarHeight});
    m_collectionView->setDataSource(this);
    m_collectionView->setDelegate(this);
    m_collectionView->registerClass<ActivityTypeViewCell>(kTypeCellId);
    m_collectionView->registerClass<ActivityViewCell>(kActivityCellId);
    m_flowLayout = new ZVFlowLayout(this);
    m_flowLayout->setDelegate(this);
    m_collectionView->setCollectionViewLayout(m_flowLayout);
    m_collectionView->reloadData();

    buildBottomBar(width);

    loadData();

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    m_timer->setTimerType(Qt::CoarseTimer);
    connect(m_timer, &QTimer::timeout, this, &ActivitiesController::onTick);
    m_timer->start();
}

void ActivitiesController::buildBottomBar(double width)
{
    QWidget *root = view();
    auto *bar = new QWidget(root);
    bar->setObjectName(QStringLiteral("bottomBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    bar->setStyleSheet(QStringLiteral("#bottomBar { background-color: rgba(179, 179, 179, 102); }"));
    Geometry::setFrame(bar, {0, 0, width, kBarHeight});

    // A pull-down: the button itself is the untitled first item, the menu lists the rest.
    m_menuButton = new QToolButton(bar);
    m_menuButton->setAccessibleName(QStringLiteral("Menu"));
    m_menuButton->setToolTip(QStringLiteral("Logout or Quit"));
    m_menuButton->setIcon(menuIcon());
    m_menuButton->setIconSize(QSize(20, 20));
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    m_menuButton->setStyleSheet(QStringLiteral(
        "QToolButton { border: 1px solid rgba(0, 0, 0, 60); border-radius: 15px; background: rgba(255, 255, 255, 190); }"
        "QToolButton:pressed { background: rgba(200, 200, 200, 220); }"
        "QToolButton::menu-indicator { image: none; width: 0; }"));
    auto *menu = new QMenu(m_menuButton);
    menu->addAction(QStringLiteral("Logout"), this, &ActivitiesController::onLogout);
    menu->addAction(QStringLiteral("Quit"), this, &ActivitiesController::onQuit);
    m_menuButton->setMenu(menu);
    Geometry::setFrame(m_menuButton, {width - 35, 5, 30, 30});

    m_reloadButton = new PushButton(bar);
    m_reloadButton->setTitle(QStringLiteral("Reload"));
    connect(m_reloadButton, &QPushButton::clicked, this, &ActivitiesController::onReload);
    Geometry::setFrame(m_reloadButton, {5, 5, 100, 30});

    bar->raise();
}

void ActivitiesController::loadData()
{
    m_parentGroup.reset();
    showLoading();
    QPointer<ActivitiesController> self(this);
    ZVClient::sharedInstance().getTypesWithHandler([self](const auto &types, const auto &error) {
        if (!self)
            return;
        if (error || !types) {
            self->showError(error ? error->localizedDescription() : QString());
            return;
        }
        self->m_activityTypes = Extension::flatten(*types);
        self->m_activityTypesShown = self->m_activityTypes;
        ZVClient::sharedInstance().getActivitiesWithHandler([self](const auto &activities, const auto &error) {
            if (!self)
                return;
            if (error || !activities) {
                self->showError(error ? error->localizedDescription() : QString());
                return;
            }
            self->m_activities = *activities;
            self->m_collectionView->reloadData();
            self->hideLoading();
        });
    });
}

void ActivitiesController::reload()
{
    m_errorTextView->setString(QString());
    m_collectionView->show();
    loadData();
}

void ActivitiesController::showError(const QString &text)
{
    hideLoading();
    m_collectionView->hide();
    m_errorTextView->setString(text);
}

ActivityTypePtr ActivitiesController::findTypeById(const std::optional<QString> &typeId) const
{
    if (!typeId)
        return nullptr;
    for (const ActivityTypePtr &type : m_activityTypes)
        if (type->guid() == *typeId)
            return type;
    return nullptr;
}

QString ActivitiesController::generateGUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

qint64 ActivitiesController::numberOfSectionsInCollectionView(CollectionView *)
{
    return 2;
}

qint64 ActivitiesController::numberOfItemsInSection(CollectionView *, qint64 section)
{
    return section == 0 ? m_activities.size() : m_activityTypesShown.size();
}

std::optional<QImage> ActivitiesController::tintedImage(const ActivityTypePtr &type) const
{
    return Extension::imageTintedWithColor(Images::image(type->imageId()), Extension::colorWithRGB(type->color()));
}

CollectionViewCell *ActivitiesController::cellForItemAtIndexPath(CollectionView *collectionView,
                                                                 const IndexPath &indexPath)
{
    if (indexPath.section == 0) {
        auto *cell = static_cast<ActivityViewCell *>(
            collectionView->dequeueReusableCellWithIdentifier(kActivityCellId, indexPath));
        cell->setDelegate(this);
        const ActivityPtr &activity = m_activities.at(indexPath.item);
        // The service should only list activities of known types; a stray one still gets a readable row.
        const ActivityTypePtr type = findTypeById(activity->typeId());
        cell->setTypeImage(type ? tintedImage(type) : std::nullopt);
        cell->typeLabel()->setString(type ? type->name() : kUnknownTypeName);
        cell->setupWithActivity(activity);
        return cell;
    }

    auto *cell = static_cast<ActivityTypeViewCell *>(
        collectionView->dequeueReusableCellWithIdentifier(kTypeCellId, indexPath));
    const ActivityTypePtr &type = m_activityTypesShown.at(indexPath.item);
    if (type == ActivityType::upType()) {
        cell->typeLabel()->setString(QStringLiteral("Go back"));
        cell->setTypeImage(std::nullopt);
        cell->childrenCountLabel()->setString(QString());
        cell->setAccessibleName(QStringLiteral("Go back"));
        return cell;
    }
    const auto group = std::dynamic_pointer_cast<ActivityTypeGroup>(type);
    cell->childrenCountLabel()->setString(
        group ? QString::number(group->children() ? group->children()->size() : 0) : QString());
    cell->typeLabel()->setString(type->name());
    cell->setTypeImage(tintedImage(type));
    cell->setAccessibleName(group ? QStringLiteral("Group %1").arg(type->name()) : type->name());
    return cell;
}

void ActivitiesController::showGroup(const ActivityTypeGroupPtr &group)
{
    m_parentGroup = group;
    QList<ActivityTypePtr> shown {ActivityType::upType()};
    if (group && group->children())
        shown.append(*group->children());
    m_activityTypesShown = shown;
}

void ActivitiesController::didSelectItemAtIndexPath(CollectionView *collectionView, const IndexPath &indexPath)
{
    if (indexPath.section == 0 || indexPath.item < 0 || indexPath.item >= m_activityTypesShown.size())
        return;
    const ActivityTypePtr type = m_activityTypesShown.at(indexPath.item);

    if (auto group = std::dynamic_pointer_cast<ActivityTypeGroup>(type)) {
        showGroup(group);
    } else if (type == ActivityType::upType()) {
        const std::optional<QString> parentGuid = m_parentGroup ? m_parentGroup->parentGuid() : std::nullopt;
        if (parentGuid && !parentGuid->isEmpty()) {
            showGroup(std::dynamic_pointer_cast<ActivityTypeGroup>(findTypeById(parentGuid)));
        } else {
            m_parentGroup.reset();
            m_activityTypesShown = m_activityTypes;
        }
    } else {
        startActivity(type);
        return;
    }
    collectionView->reloadData();
}

void ActivitiesController::startActivity(const ActivityTypePtr &type)
{
    auto activity = std::make_shared<Activity>();
    activity->setGuid(generateGUID());
    activity->setStart(Clock::now());
    activity->setState(ActivityStateRunning);
    activity->setTypeId(type->guid());
    activity->setComment(QStringLiteral(""));
    activity->setIntervals({});

    showLoading();
    ZVClient::sharedInstance().postActivity(activity, reloadAfterChange());
}

Size ActivitiesController::sizeForItemAtIndexPath(CollectionView *, const IndexPath &indexPath)
{
    return indexPath.section == 0 ? kActivityItemSize : kTypeItemSize;
}

double ActivitiesController::heightForHeaderInSection(CollectionView *, qint64)
{
    return 0;
}

double ActivitiesController::heightForFooterInSection(CollectionView *, qint64)
{
    return 0;
}

void ActivitiesController::closeRunningPeriod(const ActivityPtr &activity)
{
    if (activity->state() != ActivityStateRunning)
        return;
    auto interval = std::make_shared<Interval>();
    interval->setGuid(generateGUID());
    interval->setFrom(activity->start());
    interval->setTo(Clock::now());
    QList<IntervalPtr> intervals = activity->intervals();
    intervals.append(interval);
    activity->setIntervals(intervals);
}

ZVClient::ErrorHandler ActivitiesController::reloadAfterChange()
{
    return [self = QPointer<ActivitiesController>(this)](const std::optional<Error> &error) {
        if (!self)
            return;
        if (error) {
            self->showError(error->localizedDescription());
            return;
        }
        self->hideLoading();
        self->loadData();
    };
}

void ActivitiesController::changeActivity(const ActivityPtr &activity, ActivityState state)
{
    if (!activity)
        return;
    // Stop and pause close the running period; resume opens a new one now.
    if (state == ActivityStateRunning)
        activity->setStart(Clock::now());
    else
        closeRunningPeriod(activity);
    activity->setState(state);
    showLoading();
    ZVClient::sharedInstance().putActivity(activity, reloadAfterChange());
}

void ActivitiesController::didStopActivity(const ActivityPtr &activity)
{
    changeActivity(activity, ActivityStateStopped);
}

void ActivitiesController::didPauseActivity(const ActivityPtr &activity)
{
    changeActivity(activity, ActivityStatePaused);
}

void ActivitiesController::didResumeActivity(const ActivityPtr &activity)
{
    changeActivity(activity, ActivityStateRunning);
}

void ActivitiesController::onLogout()
{
    ZVClient::sharedInstance().logout();
    if (m_delegate)
        m_delegate->didLogoutSuccessfully();
}

void ActivitiesController::onQuit()
{
    qCInfo(lcZorvel, "onQuit:");
    QCoreApplication::quit();
}

void ActivitiesController::onReload()
{
    reload();
}

void ActivitiesController::onTick()
{
    NotificationCenter::defaultCenter().postNotification(kTimerTickNotification);
}
