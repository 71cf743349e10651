// The one client of the time-logging service: sign-in state, bearer-signed
// GET/POST/PUT wrappers, token grants with silent recovery, and the endpoints.
// Every handler is called exactly once, on the GUI thread.
#pragma once

#include "ActivityType.h"
#include "Error.h"
#include "HTTPJSONResponseSerializer.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class HTTPSessionManager;
class HTTPTask;

// Key of an error's information dictionary holding the decoded JSON body of a
// failed answer (a QJsonValue).
inline const QString JSONResponseSerializerWithDataKey = QStringLiteral("JSONResponseSerializerWithDataKey");
inline const QString kNetworkManagerRefreshTokenExpiredNotification
    = QStringLiteral("refreshTokenExpirationNotification");
inline const QString kClientId = QStringLiteral("androidClient");
inline const QString kClientSecret = QStringLiteral("wombat");

// The decoder of every answer the client reads. On a failed answer it keeps
// the decoded JSON body in the error under JSONResponseSerializerWithDataKey,
// so that the recovery decision can read the OAuth error code.
class MSJSONResponseSerializerWithData final : public HTTPJSONResponseSerializer
{
public:
    std::optional<QJsonValue> responseObjectForResponse(const HTTPURLResponse &response, const QByteArray &data,
                                                        std::optional<Error> *error) const override;
};

class ZVClient
{
public:
    // The decoded body; std::nullopt when the body was empty.
    using SuccessHandler = std::function<void(const std::optional<QJsonValue> &responseObject)>;
    using FailureHandler = std::function<void(const Error &error)>;
    using TokenHandler
        = std::function<void(const std::optional<QJsonObject> &response, const std::optional<Error> &error)>;
    using TypesHandler
        = std::function<void(const std::optional<QList<ActivityTypePtr>> &types, const std::optional<Error> &error)>;
    using ActivitiesHandler
        = std::function<void(const std::optional<QList<ActivityPtr>> &activities, const std::optional<Error> &error)>;
    using ErrorHandler = std::function<void(const std::optional<Error> &error)>;

    static ZVClient &sharedInstance();

    bool isLoggedIn() const;
    void logout();
    std::optional<QString> accessToken() const;
    std::unique_ptr<HTTPSessionManager> authenticatedManager() const;

    void GET(const QString &path, const std::optional<QVariantMap> &parameters, SuccessHandler success,
             FailureHandler failure);
    void POST(const QString &path, const std::optional<QVariantMap> &parameters, SuccessHandler success,
              FailureHandler failure);
    void PUT(const QString &path, const std::optional<QVariantMap> &parameters, SuccessHandler success,
             FailureHandler failure);

    // Token grants and recovery.
    void getTokenForUsername(const QString &username, const QString &password, TokenHandler handler);
    void refreshToken(const std::optional<QString> &refreshToken, SuccessHandler success, FailureHandler failure);
    void errorProcessing(const Error &error, const std::shared_ptr<HTTPTask> &resumableTask, SuccessHandler success,
                         FailureHandler failure);
    void restoreTask(const std::shared_ptr<HTTPTask> &task, SuccessHandler success, FailureHandler failure);

    // Endpoints.
    void getTypesWithHandler(TypesHandler handler);
    void getActivitiesWithHandler(ActivitiesHandler handler);
    void postActivity(const ActivityPtr &activity, ErrorHandler handler);
    void putActivity(const ActivityPtr &activity, ErrorHandler handler);

    // The service's root URL text, ending in a slash (the build's ZORVEL_BASE_URL).
    QString baseURLString() const;

    // The one seam for tests: another root URL and request time-out. An empty
    // URL or a time-out of 0 restores the built-in value (60 s).
    static void setBaseURLForTesting(const QString &baseURL, int timeoutMs = 0);

    // Domain of the client's own failures (an answer of the wrong shape).
    static inline const QString ErrorDomain = QStringLiteral("ZVClientErrorDomain");
    enum ErrorCode : qint64 { UnexpectedAnswer = 1 };

private:
    ZVClient() = default;
    void send(const QString &method, const QString &path, const std::optional<QVariantMap> &parameters,
              SuccessHandler success, FailureHandler failure);
    // The recovery decision; mayRefresh is false once the request has had its
    // one refresh, which bounds the recovery to a single round.
    void decide(const Error &error, const std::shared_ptr<HTTPTask> &task, SuccessHandler success,
                FailureHandler failure, bool mayRefresh);
    void refreshAndRestore(const std::shared_ptr<HTTPTask> &task, SuccessHandler success, FailureHandler failure);
    std::unique_ptr<HTTPSessionManager> tokenManager() const;
};
