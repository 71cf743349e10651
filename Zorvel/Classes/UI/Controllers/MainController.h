// A screen that hosts the login and activities screens inside its own view and
// switches between them on sign-in and sign-out. Nothing creates it today: the
// panel controller hosts the two screens itself.
#pragma once

#include "ActivitiesControllerDelegate.h"
#include "LoginControllerDelegate.h"
#include "ZVController.h"

#include <memory>

class ActivitiesController;
class LoginController;

class MainController final : public ZVController, public LoginControllerDelegate, public ActivitiesControllerDelegate
{
    Q_OBJECT
public:
    explicit MainController(const Rect &frame, QObject *parent = nullptr);
    ~MainController() override;

    ActivitiesController *activitiesController() const { return m_activitiesController.get(); }
    LoginController *loginController() const { return m_loginController.get(); }

    void didLoginSuccessfully() override;
    void didLogoutSuccessfully() override;
    void cleanSubviews();

protected:
    void zvViewDidLoad() override;

private:
    void showScreen(QWidget *screen);

    std::unique_ptr<ActivitiesController> m_activitiesController;
    std::unique_ptr<LoginController> m_loginController;
};
