// The signed-in screen: the account's activities above a grid of activity
// types (groups open in place), a bar with "Reload" and a Logout/Quit menu, and
// the one-second tick that keeps every elapsed time current.
#pragma once

#include "ActivitiesControllerDelegate.h"
#include "ActivityType.h"
#include "ActivityViewCell.h"
#include "CollectionView.h"
#include "PushButton.h"
#include "TextView.h"
#include "ZVClient.h"
#include "ZVController.h"
#include "ZVFlowLayout.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <optional>

inline const QString kActivityCellId = QStringLiteral("ActivityCellId");
inline const QString kTypeCellId = QStringLiteral("TypeCellId");

class ActivitiesController final : public ZVController,
                                   public CollectionViewDataSource,
                                   public CollectionViewDelegate,
                                   public ZVFlowLayoutDelegate,
                                   public ActivityViewCellDelegate
{
    Q_OBJECT
public:
    explicit ActivitiesController(const Rect &frame, QObject *parent = nullptr);
    ~ActivitiesController() override;

    // Not owned: the panel controller owns this screen and outlives it.
    ActivitiesControllerDelegate *delegate() const { return m_delegate; }
    void setDelegate(ActivitiesControllerDelegate *delegate) { m_delegate = delegate; }

    // Every type of the account, groups followed by their descendants.
    const QList<ActivityTypePtr> &activityTypes() const { return m_activityTypes; }
    void setActivityTypes(const QList<ActivityTypePtr> &types) { m_activityTypes = types; }
    // The items of the types section, in display order.
    const QList<ActivityTypePtr> &activityTypesShown() const { return m_activityTypesShown; }
    void setActivityTypesShown(const QList<ActivityTypePtr> &types) { m_activityTypesShown = types; }
    const QList<ActivityPtr> &activities() const { return m_activities; }
    void setActivities(const QList<ActivityPtr> &activities) { m_activities = activities; }
    // The group being browsed; null at the top level.
    const ActivityTypeGroupPtr &parentGroup() const { return m_parentGroup; }
    void setParentGroup(const ActivityTypeGroupPtr &group) { m_parentGroup = group; }

    // Null until the view is built.
    QTimer *timer() const { return m_timer; }
    CollectionView *collectionView() const { return m_collectionView; }
    TextView *errorTextView() const { return m_errorTextView; }
    QToolButton *menuButton() const { return m_menuButton; }
    PushButton *reloadButton() const { return m_reloadButton; }
    ZVFlowLayout *flowLayout() const { return m_flowLayout; }

    // Types, then activities; the collection is reloaded once both have arrived.
    void loadData();
    // Clears the error display and loads anew.
    void reload();
    void showError(const QString &text);

    ActivityTypePtr findTypeById(const std::optional<QString> &typeId) const;
    // A new random UUID, 36 upper-case characters without braces.
    static QString generateGUID();

    // The bar's actions.
    void onLogout();
    void onQuit();
    void onReload();
    void onTick();

    // CollectionViewDataSource
    qint64 numberOfSectionsInCollectionView(CollectionView *collectionView) override;
    qint64 numberOfItemsInSection(CollectionView *collectionView, qint64 section) override;
    CollectionViewCell *cellForItemAtIndexPath(CollectionView *collectionView, const IndexPath &indexPath) override;
    // CollectionViewDelegate
    void didSelectItemAtIndexPath(CollectionView *collectionView, const IndexPath &indexPath) override;
    // ZVFlowLayoutDelegate
    Size sizeForItemAtIndexPath(CollectionView *collectionView, const IndexPath &indexPath) override;
    double heightForHeaderInSection(CollectionView *collectionView, qint64 section) override;
    double heightForFooterInSection(CollectionView *collectionView, qint64 section) override;
    // ActivityViewCellDelegate
    void didStopActivity(const ActivityPtr &activity) override;
    void didPauseActivity(const ActivityPtr &activity) override;
    void didResumeActivity(const ActivityPtr &activity) override;

protected:
    void zvViewDidLoad() override;

private:
    void buildBottomBar(double width);
    void startActivity(const ActivityTypePtr &type);
    void closeRunningPeriod(const ActivityPtr &activity);
    // Changes the activity in place, sends it, then reloads (or shows the error).
    void changeActivity(const ActivityPtr &activity, ActivityState state);
    // The handler of a post or put: reload on success, the error otherwise.
    ZVClient::ErrorHandler reloadAfterChange();
    void showGroup(const ActivityTypeGroupPtr &group);
    std::optional<QImage> tintedImage(const ActivityTypePtr &type) const;

    ActivitiesControllerDelegate *m_delegate = nullptr;
    QList<ActivityTypePtr> m_activityTypes;
    QList<ActivityTypePtr> m_activityTypesShown;
    QList<ActivityPtr> m_activities;
    ActivityTypeGroupPtr m_parentGroup;

    QPointer<QTimer> m_timer;
    QPointer<CollectionView> m_collectionView;
    QPointer<TextView> m_errorTextView;
    QPointer<QToolButton> m_menuButton;
    QPointer<PushButton> m_reloadButton;
    ZVFlowLayout *m_flowLayout = nullptr;
};
