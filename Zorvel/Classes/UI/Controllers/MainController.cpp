#include "MainController.h"

#include "ActivitiesController.h"
#include "LoginController.h"
#include "PushButton.h"
#include "SecureTextField.h"
#include "TextField.h"
#include "TextView.h"
#include "ZVClient.h"

MainController::MainController(const Rect &frame, QObject *parent)
    : ZVController(frame, parent)
{ }

MainController::~MainController() = default;

void MainController::zvViewDidLoad()
{
    if (ZVClient::sharedInstance().isLoggedIn())
        didLoginSuccessfully();
    else
        didLogoutSuccessfully();
}

void MainController::didLoginSuccessfully()
{
    cleanSubviews();
    if (!m_activitiesController) {
        m_activitiesController = std::make_unique<ActivitiesController>(Geometry::bounds(view()));
        m_activitiesController->setDelegate(this);
    }
    showScreen(m_activitiesController->view());
}

void MainController::didLogoutSuccessfully()
{
    cleanSubviews();
    if (!m_loginController) {
        m_loginController = std::make_unique<LoginController>(Geometry::bounds(view()));
        m_loginController->setDelegate(this);
    }
    showScreen(m_loginController->view());
}

void MainController::cleanSubviews()
{
    const QList<QWidget *> subviews = view()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *subview : subviews) {
        subview->hide();
        subview->setParent(nullptr);
    }
}

void MainController::showScreen(QWidget *screen)
{
    screen->setParent(view());
    Geometry::setFrame(screen, Geometry::bounds(view()));
    screen->show();
}
