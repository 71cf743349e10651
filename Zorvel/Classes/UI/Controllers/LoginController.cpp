#include "LoginController.h"

#include "Assertion.h"
#include "Error.h"
#include "LayoutConstraints.h"
#include "PushButton.h"
#include "SecureTextField.h"
#include "TextField.h"
#include "TextView.h"
#include "ZVClient.h"
#include "ZVCredentialStorage.h"
#include "ZVToken.h"

#include <QDateTime>

namespace {
// The lifetime the stored token is given; the answer's "expires_in" is not used.
constexpr qint64 kTokenLifetimeSeconds = 3600;

std::optional<QString> stringValue(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}
} // namespace

LoginController::LoginController(const Rect &frame, QObject *parent)
    : ZVController(frame, parent)
{ }

void LoginController::zvViewDidLoad()
{
    using A = LayoutConstraints::Attribute;
    QWidget *screen = view();
    auto *constraints = new LayoutConstraints(screen);

    m_emailField = new TextField(screen);
    m_emailField->setObjectName(QStringLiteral("emailField"));
    m_emailField->setEditable(true);
    m_emailField->setPlaceholderString(QStringLiteral("Email"));
    m_emailField->setInputMethodHints(Qt::ImhEmailCharactersOnly | Qt::ImhNoAutoUppercase);
    constraints->tie(m_emailField, A::Left, 60);
    constraints->tie(m_emailField, A::Right, -60);
    constraints->tie(m_emailField, A::Top, 50);
    constraints->tie(m_emailField, A::Height, 30);

    m_passwordField = new SecureTextField(screen);
    m_passwordField->setObjectName(QStringLiteral("passwordField"));
    m_passwordField->setEditable(true);
    m_passwordField->setPlaceholderString(QStringLiteral("Password"));
    constraints->tie(m_passwordField, A::Top, m_emailField, A::Bottom, 20);
    constraints->tie(m_passwordField, A::Left, m_emailField);
    constraints->tie(m_passwordField, A::Right, m_emailField);
    constraints->tie(m_passwordField, A::Height, m_emailField);

    m_loginButton = new PushButton(screen);
    m_loginButton->setObjectName(QStringLiteral("loginButton"));
    m_loginButton->setTitle(QStringLiteral("Login"));
    connect(m_loginButton, &QPushButton::clicked, this, &LoginController::logIn);
    constraints->tie(m_loginButton, A::Top, m_passwordField, A::Bottom, 20);
    constraints->tie(m_loginButton, A::Left, m_emailField);
    constraints->tie(m_loginButton, A::Right, m_emailField);
    constraints->tie(m_loginButton, A::Height, m_emailField);

    m_errorTextView = new TextView(screen);
    m_errorTextView->setObjectName(QStringLiteral("errorTextView"));
    m_errorTextView->setAccessibleName(QStringLiteral("Error"));
    m_errorTextView->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_errorTextView->setString(QString());
    Geometry::setFrame(m_errorTextView, Rect {60, 40, 200, 80});

    // Keyboard users: Tab runs down the form, Return in a field acts as the button.
    QWidget::setTabOrder(m_emailField, m_passwordField);
    QWidget::setTabOrder(m_passwordField, m_loginButton);
    const auto returnLogsIn = [this] {
        if (!loadingView() && m_loginButton)
            m_loginButton->click();
    };
    connect(m_emailField, &QLineEdit::returnPressed, this, returnLogsIn);
    connect(m_passwordField, &QLineEdit::returnPressed, this, returnLogsIn);
    screen->setFocusProxy(m_emailField);
}

void LoginController::logIn()
{
    const QString email = m_emailField ? m_emailField->stringValue() : QString();
    const QString password = m_passwordField ? m_passwordField->stringValue() : QString();
    if (email.isEmpty() || password.isEmpty()) {
        m_errorTextView->setString(kLoginValidationMessage);
        return;
    }
    m_errorTextView->setString(QString());
    showLoading();

    QPointer<LoginController> self(this);
    ZVClient::sharedInstance().getTokenForUsername(
        email, password, [self](const std::optional<QJsonObject> &response, const std::optional<Error> &error) {
            if (self)
                self->didReceiveToken(response, error);
        });
}

void LoginController::didReceiveToken(const std::optional<QJsonObject> &response, const std::optional<Error> &error)
{
    hideLoading();
    if (error || !response) {
        m_errorTextView->setString(error ? error->localizedDescription() : QString());
        return;
    }

    auto token = std::make_shared<ZVToken>();
    token->setAccessToken(stringValue(*response, QStringLiteral("access_token")));
    token->setRefreshToken(stringValue(*response, QStringLiteral("refresh_token")));
    token->setExpiresAt(QDateTime::currentDateTimeUtc().addSecs(kTokenLifetimeSeconds));
    ZVCredentialStorage::sharedCredentialStorage().storeToken(token);

    ZV_PARAMETER_ASSERT(m_delegate, "self.delegate");
    m_delegate->didLoginSuccessfully();
}
