#include "ZVClient.h"

#include "HTTPJSONRequestSerializer.h"
#include "HTTPSessionManager.h"
#include "HTTPTask.h"
#include "Log.h"
#include "NotificationCenter.h"
#include "QUrl+Extension.h"
#include "ZVCredentialStorage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

#ifndef ZORVEL_BASE_URL
#error "ZORVEL_BASE_URL must name the service's root URL"
#endif

namespace {

const QString kBuiltInBaseURL = QStringLiteral(ZORVEL_BASE_URL);

QString g_baseURL = kBuiltInBaseURL;
int g_timeoutInterval = HTTPRequest::DefaultTimeoutInterval;

// The service client's own leveled log (info and error levels).
void logInfo(const QString &text)
{
    qCInfo(lcNetwork).noquote() << text;
}

void logError(const QString &text)
{
    qCCritical(lcNetwork).noquote() << text;
}

QString describe(const std::optional<QJsonValue> &value)
{
    if (!value)
        return u"(null)"_s;
    if (value->isObject())
        return QString::fromUtf8(QJsonDocument(value->toObject()).toJson(QJsonDocument::Compact));
    if (value->isArray())
        return QString::fromUtf8(QJsonDocument(value->toArray()).toJson(QJsonDocument::Compact));
    const QByteArray wrapped = QJsonDocument(QJsonArray {*value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2));
}

std::optional<QString> stringValue(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

Error unexpectedAnswer(const QString &description)
{
    return Error(ZVClient::ErrorDomain, ZVClient::UnexpectedAnswer, description);
}

} // namespace

// MSJSONResponseSerializerWithData

std::optional<QJsonValue> MSJSONResponseSerializerWithData::responseObjectForResponse(const HTTPURLResponse &response,
                                                                                      const QByteArray &data,
                                                                                      std::optional<Error> *error) const
{
    std::optional<Error> validationError;
    if (validateResponse(response, data, &validationError))
        return decodeJSON(data, error);

    QVariantMap userInfo = validationError->userInfo();
    std::optional<Error> decodingError;
    const std::optional<QJsonValue> body = decodeJSON(data, &decodingError);
    if (decodingError)
        logError(u"Error serializing response to JSON"_s);
    else if (body)
        userInfo.insert(JSONResponseSerializerWithDataKey, QVariant::fromValue(*body));
    if (error)
        *error = validationError->withUserInfo(userInfo);
    return std::nullopt;
}

// ZVClient: sign-in state and the wrappers

ZVClient &ZVClient::sharedInstance()
{
    static ZVClient client;
    return client;
}

bool ZVClient::isLoggedIn() const
{
    return ZVCredentialStorage::sharedCredentialStorage().token() != nullptr;
}

void ZVClient::logout()
{
    ZVCredentialStorage::sharedCredentialStorage().removeToken();
}

std::optional<QString> ZVClient::accessToken() const
{
    const ZVTokenPtr token = ZVCredentialStorage::sharedCredentialStorage().token();
    return token ? token->accessToken() : std::nullopt;
}

QString ZVClient::baseURLString() const
{
    return g_baseURL;
}

void ZVClient::setBaseURLForTesting(const QString &baseURL, int timeoutMs)
{
    g_baseURL = baseURL.isEmpty() ? kBuiltInBaseURL : baseURL;
    if (!g_baseURL.endsWith(u'/'))
        g_baseURL += u'/';
    g_timeoutInterval = timeoutMs > 0 ? timeoutMs : HTTPRequest::DefaultTimeoutInterval;
}

std::unique_ptr<HTTPSessionManager> ZVClient::authenticatedManager() const
{
    auto manager = std::make_unique<HTTPSessionManager>(QUrl(baseURLString() + u"oauth/api"_s));
    auto requestSerializer = std::make_shared<HTTPJSONRequestSerializer>();
    requestSerializer->setTimeoutInterval(g_timeoutInterval);
    // Read now, not when the manager was configured earlier: a replay after a
    // refresh must carry the token that was just stored.
    requestSerializer->setAuthorizationHeaderFieldWithBearerToken(accessToken().value_or(u"(null)"_s));
    manager->setRequestSerializer(std::move(requestSerializer));
    manager->setResponseSerializer(std::make_shared<MSJSONResponseSerializerWithData>());
    return manager;
}

std::unique_ptr<HTTPSessionManager> ZVClient::tokenManager() const
{
    auto manager = std::make_unique<HTTPSessionManager>();
    manager->requestSerializer()->setTimeoutInterval(g_timeoutInterval);
    manager->requestSerializer()->setAuthorizationHeaderFieldWithUsername(kClientId, kClientSecret);
    manager->setResponseSerializer(std::make_shared<MSJSONResponseSerializerWithData>());
    return manager;
}

void ZVClient::GET(const QString &path, const std::optional<QVariantMap> &parameters, SuccessHandler success,
                   FailureHandler failure)
{
    send(u"GET"_s, path, parameters, std::move(success), std::move(failure));
}

void ZVClient::POST(const QString &path, const std::optional<QVariantMap> &parameters, SuccessHandler success,
                    FailureHandler failure)
{
    send(u"POST"_s, path, parameters, std::move(success), std::move(failure));
}

void ZVClient::PUT(const QString &path, const std::optional<QVariantMap> &parameters, SuccessHandler success,
                   FailureHandler failure)
{
    send(u"PUT"_s, path, parameters, std::move(success), std::move(failure));
}

void ZVClient::send(const QString &method, const QString &path, const std::optional<QVariantMap> &parameters,
                    SuccessHandler success, FailureHandler failure)
{
    logInfo(u"NetworkManager: Start %1: %2"_s.arg(method, path));
    authenticatedManager()->dataTaskWithHTTPMethod(
        method, path, parameters,
        [method, path, success](const std::shared_ptr<HTTPTask> &, const std::optional<QJsonValue> &responseObject) {
            logInfo(u"NetworkManager: Did %1 well: %2"_s.arg(method, path));
            if (success)
                success(responseObject);
        },
        [this, method, path, success, failure](const std::shared_ptr<HTTPTask> &task, const Error &error) {
            logError(u"NetworkManager: Error while doing %1 on '%2'. Error details: %3"_s.arg(method, path,
                                                                                              error.fullDescription()));
            errorProcessing(error, task, success, failure);
        });
}

// Token grants

void ZVClient::getTokenForUsername(const QString &username, const QString &password, TokenHandler handler)
{
    // Escaped as query values so that "&", "#", "+", "%" and the like stay
    // part of the value; an ordinary e-mail address goes out as typed.
    const QString url = u"%1/oauth/token?grant_type=password&username=%2&password=%3"_s.arg(
        baseURLString(), HTTPRequestSerializer::percentEscapedQueryValue(username),
        HTTPRequestSerializer::percentEscapedQueryValue(password));
    const auto fail = [handler](const Error &error) {
        logError(u"Error get token: %1"_s.arg(error.fullDescription()));
        if (handler)
            handler(std::nullopt, error);
    };
    tokenManager()->GET(
        url, std::nullopt,
        [handler, fail](const std::shared_ptr<HTTPTask> &, const std::optional<QJsonValue> &responseObject) {
            if (!responseObject || !responseObject->isObject()) {
                fail(unexpectedAnswer(u"The service's token answer is not a JSON object."_s));
                return;
            }
            logInfo(u"Get token successfully: %1"_s.arg(describe(responseObject)));
            if (handler)
                handler(responseObject->toObject(), std::nullopt);
        },
        [fail](const std::shared_ptr<HTTPTask> &, const Error &error) { fail(error); });
}

void ZVClient::refreshToken(const std::optional<QString> &refreshToken, SuccessHandler success, FailureHandler failure)
{
    const QString url = u"%1/oauth/token?grant_type=refresh_token&refresh_token=%2"_s.arg(
        baseURLString(), HTTPRequestSerializer::percentEscapedQueryValue(refreshToken.value_or(u"(null)"_s)));
    tokenManager()->POST(
        url, std::nullopt,
        [success](const std::shared_ptr<HTTPTask> &, const std::optional<QJsonValue> &responseObject) {
            logInfo(u"Refresh token successfully: %1"_s.arg(describe(responseObject)));
            if (success)
                success(responseObject);
        },
        [failure](const std::shared_ptr<HTTPTask> &, const Error &error) {
            logError(u"Error refresh token: %1"_s.arg(error.fullDescription()));
            if (failure)
                failure(error);
        });
}

// Recovery

void ZVClient::errorProcessing(const Error &error, const std::shared_ptr<HTTPTask> &resumableTask,
                               SuccessHandler success, FailureHandler failure)
{
    decide(error, resumableTask, std::move(success), std::move(failure), true);
}

void ZVClient::decide(const Error &error, const std::shared_ptr<HTTPTask> &task, SuccessHandler success,
                      FailureHandler failure, bool mayRefresh)
{
    const auto fail = [&failure, &error] {
        if (failure)
            failure(error);
    };
    const QVariant responseValue = error.userInfo().value(HTTPResponseSerializerResponseKey);
    if (!responseValue.canConvert<HTTPURLResponse>())
        return fail(); // no answer at all
    const int status = responseValue.value<HTTPURLResponse>().statusCode();

    const QJsonValue body = error.userInfo().value(JSONResponseSerializerWithDataKey).toJsonValue();
    const QJsonObject object = body.toObject();
    const std::optional<QString> code = stringValue(object, u"error"_s);
    const std::optional<QString> description = stringValue(object, u"error_description"_s);
    // Without a description every phrase test passes.
    const auto mentions = [&description](const QString &phrase) {
        return !description || description->contains(phrase, Qt::CaseSensitive);
    };
    const auto announceExpiredRefreshToken = [] {
        NotificationCenter::defaultCenter().postNotification(kNetworkManagerRefreshTokenExpiredNotification);
    };

    if (status == 401) {
        if (code == u"invalid_token"_s) {
            logInfo(u"NetworkManager: got invalid_token. Try to refresh..."_s);
            if (mentions(u"Access token expired"_s) || mentions(u"Invalid access token"_s)) {
                // A request gets one refresh; should the refresh itself be
                // refused this way, trying again would only loop.
                if (!mayRefresh)
                    return fail();
                return refreshAndRestore(task, std::move(success), std::move(failure));
            }
            if (mentions(u"refresh token"_s))
                announceExpiredRefreshToken();
            return fail();
        }
        if (code == u"unauthorized"_s)
            logError(u"NetworkManager: Server returned unauthorized json error. Seems no access_token passed"_s);
        return fail();
    }
    if (status == 400 && code == u"invalid_grant"_s) {
        logInfo(u"NetworkManager: got invalid_grant"_s);
        if (mentions(u"refresh token"_s))
            announceExpiredRefreshToken();
    }
    fail();
}

void ZVClient::refreshAndRestore(const std::shared_ptr<HTTPTask> &task, SuccessHandler success, FailureHandler failure)
{
    const ZVTokenPtr stored = ZVCredentialStorage::sharedCredentialStorage().token();
    refreshToken(
        stored ? stored->refreshToken() : std::nullopt,
        [this, task, success, failure](const std::optional<QJsonValue> &answer) {
            const QJsonObject object = answer ? answer->toObject() : QJsonObject();
            const std::optional<QString> accessToken = stringValue(object, u"access_token"_s);
            if (!accessToken) {
                // Storing this would throw away a refresh token that may still work.
                const Error error = unexpectedAnswer(u"The service's token answer holds no access token."_s);
                logError(u"NetworkManager: Error while doing token refresh: %1"_s.arg(error.fullDescription()));
                if (failure)
                    failure(error);
                return;
            }
            auto token = std::make_shared<ZVToken>();
            token->setAccessToken(accessToken);
            token->setRefreshToken(stringValue(object, u"refresh_token"_s));
            ZVCredentialStorage::sharedCredentialStorage().storeToken(token);
            restoreTask(task, success, failure);
        },
        [this, task, success, failure](const Error &refreshError) {
            logError(u"NetworkManager: Error while doing token refresh: %1"_s.arg(refreshError.fullDescription()));
            decide(refreshError, task, success, failure, false);
        });
}

void ZVClient::restoreTask(const std::shared_ptr<HTTPTask> &task, SuccessHandler success, FailureHandler failure)
{
    const HTTPRequest &original = task->currentRequest();
    const QString method = original.HTTPMethod();

    std::optional<QVariantMap> parameters;
    std::optional<QByteArray> rawBody;
    if (!original.HTTPBody().isEmpty()) {
        const std::optional<QJsonValue> body = HTTPJSONResponseSerializer::decodeJSON(original.HTTPBody(), nullptr);
        if (body && body->isObject())
            parameters = body->toObject().toVariantMap();
        else
            rawBody = original.HTTPBody(); // not ours to reshape: send it as it was
    }
    if (method == u"GET"_s) {
        const QMap<QString, QString> query = Extension::parseQuery(original.url());
        if (!query.isEmpty() && !parameters)
            parameters = QVariantMap();
        // parseQuery keeps the escapes; undo them so that encoding again
        // yields the query that went out the first time.
        for (auto it = query.cbegin(); it != query.cend(); ++it)
            parameters->insert(QUrl::fromPercentEncoding(it.key().toUtf8()),
                               QUrl::fromPercentEncoding(it.value().toUtf8()));
    }

    // The path as sent (escapes kept), so a segment holding "/" or "?" stays one segment.
    const QUrl url(baseURLString() + original.url().path(QUrl::FullyEncoded));
    const auto builder = authenticatedManager();
    HTTPRequest request = builder->requestSerializer()->requestWithMethod(method, url, parameters);
    if (rawBody)
        request.setHTTPBody(*rawBody);

    // Sent as a plain task, not through a wrapper: its failure is final.
    const auto sender = authenticatedManager();
    sender
        ->dataTaskWithRequest(request,
                              [success, failure](const std::shared_ptr<HTTPTask> &,
                                                 const std::optional<QJsonValue> &responseObject,
                                                 const std::optional<Error> &error) {
                                  if (error) {
                                      if (failure)
                                          failure(*error);
                                  } else if (success) {
                                      success(responseObject);
                                  }
                              })
        ->resume();
}

// Endpoints

void ZVClient::getTypesWithHandler(TypesHandler handler)
{
    const auto fail = [handler](const Error &error) {
        qCWarning(lcZorvel).noquote() << u"Error: %1"_s.arg(error.fullDescription());
        if (handler)
            handler(std::nullopt, error);
    };
    GET(
        u"types"_s, std::nullopt,
        [handler, fail](const std::optional<QJsonValue> &responseObject) {
            if (responseObject && !responseObject->isArray())
                return fail(unexpectedAnswer(u"The service's types answer is not a JSON array."_s));
            if (handler)
                handler(responseObject ? ActivityType::typesFromJSON(*responseObject) : QList<ActivityTypePtr>(),
                        std::nullopt);
        },
        fail);
}

void ZVClient::getActivitiesWithHandler(ActivitiesHandler handler)
{
    GET(
        u"activities"_s, std::nullopt,
        [handler](const std::optional<QJsonValue> &responseObject) {
            if (!handler)
                return;
            if (responseObject && !responseObject->isArray())
                return handler(std::nullopt,
                               unexpectedAnswer(u"The service's activities answer is not a JSON array."_s));
            handler(responseObject ? Activity::activitiesFromJSON(*responseObject) : QList<ActivityPtr>(),
                    std::nullopt);
        },
        [handler](const Error &error) {
            if (handler)
                handler(std::nullopt, error);
        });
}

namespace {

ZVClient::SuccessHandler succeedWith(const ZVClient::ErrorHandler &handler)
{
    return [handler](const std::optional<QJsonValue> &) {
        if (handler)
            handler(std::nullopt);
    };
}

ZVClient::FailureHandler failWith(const ZVClient::ErrorHandler &handler)
{
    return [handler](const Error &error) {
        qCWarning(lcZorvel).noquote() << u"Error: %1"_s.arg(error.fullDescription());
        if (handler)
            handler(error);
    };
}

} // namespace

void ZVClient::postActivity(const ActivityPtr &activity, ErrorHandler handler)
{
    // A snapshot: later changes to the record reach neither this request nor its replay.
    const QVariantMap body = activity->dict().toVariantMap();
    POST(u"activities"_s, body, succeedWith(handler), failWith(handler));
}

void ZVClient::putActivity(const ActivityPtr &activity, ErrorHandler handler)
{
    const QVariantMap body = activity->dict().toVariantMap();
    // Escaped as one path segment: an identifier holding "/", "?" or "#" must
    // not address another resource.
    const QString path = u"activities/"_s + QString::fromLatin1(QUrl::toPercentEncoding(activity->guid()));
    PUT(path, body, succeedWith(handler), failWith(handler));
}
