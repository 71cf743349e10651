#include "PanelController.h"

#include "ActivitiesController.h"
#include "BackgroundView.h"
#include "Log.h"
#include "LoginController.h"
#include "PanelGeometry.h"
#include "PushButton.h"
#include "SecureTextField.h"
#include "StatusBar.h"
#include "StatusItemView.h"
#include "TextField.h"
#include "TextView.h"
#include "ZVClient.h"
#include "ZVPanel.h"

#include <QGuiApplication>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>

namespace {
QRect primaryScreenGeometry()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

Rect windowFrame(const QWidget *window)
{
    return PanelGeometry::fromQtScreen(QRectF(window->geometry()), primaryScreenGeometry());
}
} // namespace

PanelController::PanelController(PanelControllerDelegate *delegate, QObject *parent)
    : QObject(parent)
    , m_delegate(delegate)
{ }

PanelController::~PanelController()
{
    stopAnimation();
    m_window.reset();
}

void PanelController::setHasActivePanel(bool hasActivePanel)
{
    if (hasActivePanel != m_hasActivePanel) {
        m_hasActivePanel = hasActivePanel;
        if (hasActivePanel)
            openPanel();
        else
            closePanel();
    }
    emit hasActivePanelChanged(m_hasActivePanel);
}

ZVPanel *PanelController::window()
{
    if (!m_window) {
        m_window = std::make_unique<ZVPanel>();
        m_backgroundView = m_window->backgroundView();
        connect(m_window.get(), &ZVPanel::didResize, this, &PanelController::windowDidResize);
        connect(m_window.get(), &ZVPanel::didResignKey, this, &PanelController::windowDidResignKey);
        connect(m_window.get(), &ZVPanel::willClose, this, &PanelController::windowWillClose);
        connect(m_window.get(), &ZVPanel::cancelOperation, this, &PanelController::cancelOperation);
        awakeFromNib();
    }
    return m_window.get();
}

void PanelController::awakeFromNib()
{
    // Level, transparency and clear background come with the window's kind
    // (a translucent popup); mouse moves reach the screens without a button held.
    m_window->setMouseTracking(true);
    m_childBounds = PanelGeometry::kChildBounds;
}

void PanelController::setActivitiesController(std::unique_ptr<ActivitiesController> controller)
{
    m_activitiesController = std::move(controller);
}

void PanelController::setLoginController(std::unique_ptr<LoginController> controller)
{
    m_loginController = std::move(controller);
}

Rect PanelController::statusRectForWindow(ZVPanel *window) const
{
    Q_UNUSED(window);
    const Rect screen = PanelGeometry::screenFrame(primaryScreenGeometry());
    std::optional<Rect> icon;
    if (m_delegate) {
        if (StatusItemView *view = m_delegate->statusItemViewForPanelController(const_cast<PanelController *>(this)))
            icon = view->globalRect();
    }
    return PanelGeometry::statusRect(icon, screen, StatusBar::systemStatusBar().thickness());
}

void PanelController::openPanel()
{
    // A close moments ago may still have its order-out pending: it is stale now.
    ++m_orderOutGeneration;
    stopAnimation();

    ZVPanel *panel = window();
    const QRect primary = primaryScreenGeometry();
    const Rect screen = PanelGeometry::screenFrame(primary);
    const Rect statusRect = statusRectForWindow(panel);
    const Rect panelRect = PanelGeometry::panelFrame(statusRect, screen);

    panel->setWindowOpacity(0);
    panel->setGeometry(PanelGeometry::toQtScreen(statusRect, primary));
    panel->show();
    panel->raise();
    panel->activateWindow();

    const std::optional<StatusItemEvent> event = StatusItemView::currentEvent();
    const PanelGeometry::Opening opening
        = PanelGeometry::opening(event && event->isLeftMouseDown, event ? event->modifiers : Qt::NoModifier);
    if (opening.logsGeometry) {
        qCInfo(lcZorvel).noquote() << QStringLiteral("Icon is at %1\n\tMenu is on screen %2\n\tWill be animated to %3")
                                          .arg(statusRect.toString(), screen.toString(), panelRect.toString());
    }

    auto *group = new QParallelAnimationGroup(this);
    auto *frame = new QPropertyAnimation(panel, "geometry", group);
    frame->setDuration(opening.durationMs);
    frame->setStartValue(PanelGeometry::toQtScreen(statusRect, primary));
    frame->setEndValue(PanelGeometry::toQtScreen(panelRect, primary));
    auto *alpha = new QPropertyAnimation(panel, "windowOpacity", group);
    alpha->setDuration(opening.durationMs);
    alpha->setStartValue(0.0);
    alpha->setEndValue(1.0);
    m_animation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);

    addSubviews();
}

void PanelController::closePanel()
{
    stopAnimation();
    ZVPanel *panel = window();

    auto *alpha = new QPropertyAnimation(panel, "windowOpacity", this);
    alpha->setDuration(PanelGeometry::kFadeOutDurationMs);
    alpha->setEndValue(0.0);
    m_animation = alpha;
    alpha->start(QAbstractAnimation::DeleteWhenStopped);

    const quint64 generation = ++m_orderOutGeneration;
    QTimer::singleShot(PanelGeometry::kOrderOutDelayMs, this, [this, generation, guard = QPointer<ZVPanel>(panel)] {
        if (guard && generation == m_orderOutGeneration)
            guard->hide();
    });
}

void PanelController::stopAnimation()
{
    if (m_animation)
        m_animation->stop(); // deletes it
}

void PanelController::windowDidResize()
{
    if (!m_window || !m_backgroundView)
        return;
    const Rect statusRect = statusRectForWindow(m_window.get());
    m_backgroundView->setArrowX(PanelGeometry::arrowX(statusRect, windowFrame(m_window.get()).x));
}

void PanelController::windowDidResignKey()
{
    if (m_window && m_window->isVisible())
        setHasActivePanel(false);
}

void PanelController::windowWillClose()
{
    setHasActivePanel(false);
}

void PanelController::cancelOperation()
{
    setHasActivePanel(false);
}

void PanelController::didLoginSuccessfully()
{
    cleanSubviews();
    if (!m_activitiesController) {
        m_activitiesController = std::make_unique<ActivitiesController>(m_childBounds);
        m_activitiesController->setDelegate(this);
    }
    showScreen(m_activitiesController->view());
}

void PanelController::didLogoutSuccessfully()
{
    cleanSubviews();
    if (!m_loginController) {
        m_loginController = std::make_unique<LoginController>(m_childBounds);
        m_loginController->setDelegate(this);
    }
    showScreen(m_loginController->view());
}

void PanelController::cleanSubviews()
{
    if (!m_backgroundView)
        return;
    const QList<QWidget *> subviews = m_backgroundView->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *subview : subviews) {
        subview->hide();
        subview->setParent(nullptr);
    }
}

void PanelController::addSubviews(QObject *sender)
{
    Q_UNUSED(sender);
    if (ZVClient::sharedInstance().isLoggedIn())
        didLoginSuccessfully();
    else
        didLogoutSuccessfully();
}

void PanelController::showScreen(QWidget *screen)
{
    if (!m_backgroundView || !screen)
        return;
    screen->setParent(m_backgroundView);
    // At the bottom-left corner, whatever the background view's size: the
    // points above a screen in the open panel are the arrow's.
    Geometry::setFrame(screen, m_childBounds);
    screen->show();
}
