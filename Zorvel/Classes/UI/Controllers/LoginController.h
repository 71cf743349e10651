// The screen shown while no token is stored: e-mail and password fields, a
// "Login" button and an error area. Signs in by the password grant, stores the
// token and tells its delegate.
#pragma once

#include "LoginControllerDelegate.h"
#include "ZVController.h"

#include <QJsonObject>
#include <QPointer>
#include <optional>

class Error;
class PushButton;
class SecureTextField;
class TextField;
class TextView;

inline const QString kLoginValidationMessage = QStringLiteral("Username or password cannot be empty");

class LoginController final : public ZVController
{
    Q_OBJECT
public:
    explicit LoginController(const Rect &frame, QObject *parent = nullptr);

    // Not owned: the owner of the screen is its delegate and outlives it.
    LoginControllerDelegate *delegate() const { return m_delegate; }
    void setDelegate(LoginControllerDelegate *delegate) { m_delegate = delegate; }

    // Null until the view is built.
    TextField *emailField() const { return m_emailField; }
    SecureTextField *passwordField() const { return m_passwordField; }
    PushButton *loginButton() const { return m_loginButton; }
    TextView *errorTextView() const { return m_errorTextView; }

    // The button's action: validation, then the password grant.
    void logIn();

protected:
    void zvViewDidLoad() override;

private:
    void didReceiveToken(const std::optional<QJsonObject> &response, const std::optional<Error> &error);

    LoginControllerDelegate *m_delegate = nullptr;
    QPointer<TextField> m_emailField;
    QPointer<SecureTextField> m_passwordField;
    QPointer<PushButton> m_loginButton;
    QPointer<TextView> m_errorTextView;
};
