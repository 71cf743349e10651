#include "TimeLoggingService.h"

#include "ActivityRecord.h"
#include "HttpReply.h"
#include "PasswordHasher.h"
#include "RequestTargetTracker.h"
#include "ServiceDatabase.h"
#include "ServiceHttpServer.h"
#include "ServiceTcpServer.h"

#include <QDateTime>
#include <QFile>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcService, "zorvel.service", QtInfoMsg)

namespace {
constexpr qsizetype kMaxBodyBytes = 1024 * 1024;
constexpr qint64 kRecentSeconds = 24 * 3600;

const QString kUnauthorizedDescription = u"Full authentication is required to access this resource"_s;

// A request reduced to what the service looks at.
struct Incoming
{
    QString method;
    QString path; // as received, percent-escapes kept
    QString query; // as received, without "?"
    QStringList segments; // decoded path pieces, empty ones (extra slashes) dropped
    QMap<QString, QString> headers; // lower-case names
    QByteArray body;

    QString header(const QString &name) const { return headers.value(name); }
    bool wantsClose() const { return header(u"connection"_s).contains("close"_L1, Qt::CaseInsensitive); }
};

QString methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return u"GET"_s;
    case QHttpServerRequest::Method::Put:
        return u"PUT"_s;
    case QHttpServerRequest::Method::Delete:
        return u"DELETE"_s;
    case QHttpServerRequest::Method::Post:
        return u"POST"_s;
    case QHttpServerRequest::Method::Head:
        return u"HEAD"_s;
    case QHttpServerRequest::Method::Options:
        return u"OPTIONS"_s;
    case QHttpServerRequest::Method::Patch:
        return u"PATCH"_s;
    case QHttpServerRequest::Method::Connect:
        return u"CONNECT"_s;
    case QHttpServerRequest::Method::Trace:
        return u"TRACE"_s;
    default:
        return u"UNKNOWN"_s;
    }
}

Incoming readRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    Incoming in;
    in.method = methodName(request.method());
    const QUrl url = request.url();
    in.path = url.path(QUrl::FullyEncoded);
    in.query = url.query(QUrl::FullyEncoded);
    // Prefer the target as written: the parsed URL loses the first piece of
    // "//oauth/token" as if it named a host. The parsed path must still end the
    // raw one, else the tracker lost its place and the parsed URL has to do.
    if (const std::optional<QByteArray> target = RequestTargetTracker::takeTarget(socket)) {
        const QByteArray raw = target->first(target->contains('#') ? target->indexOf('#') : target->size());
        const qsizetype mark = raw.contains('?') ? raw.indexOf('?') : raw.size();
        const QString rawPath = QString::fromLatin1(raw.first(mark));
        if (rawPath.endsWith(in.path) || in.path.isEmpty()) {
            in.path = rawPath;
            in.query = mark == raw.size() ? QString() : QString::fromLatin1(raw.mid(mark + 1));
        }
    }
    for (const QString &piece : in.path.split(u'/', Qt::SkipEmptyParts))
        in.segments.append(QUrl::fromPercentEncoding(piece.toUtf8()));
    for (const auto &[name, value] : request.headers()) {
        const QString key = QString::fromLatin1(name).toLower();
        const QString text = QString::fromLatin1(value);
        in.headers[key] = in.headers.contains(key) ? in.headers[key] + u", "_s + text : text;
    }
    in.body = request.body();
    return in;
}

// Query values are taken as the client wrote them: percent-escapes decoded,
// "+" kept, since the client puts user names and passwords in without escaping.
QMap<QString, QString> parseQuery(const QString &query)
{
    QMap<QString, QString> result;
    for (const QString &piece : query.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype equals = piece.indexOf(u'=');
        const QString key = QUrl::fromPercentEncoding(piece.left(equals < 0 ? piece.size() : equals).toUtf8());
        const QString value = equals < 0 ? QString() : QUrl::fromPercentEncoding(piece.mid(equals + 1).toUtf8());
        if (!key.isEmpty() && !result.contains(key))
            result.insert(key, value);
    }
    return result;
}

// The path a failure rule names: below oauth/api/ for the API, else the whole path.
QString rulePath(QStringList segments)
{
    if (segments.size() > 2 && segments[0] == "oauth"_L1 && segments[1] == "api"_L1)
        segments.remove(0, 2);
    return segments.join(u'/');
}

bool rulePathMatches(const QString &rule, const QString &path)
{
    const QString wanted = rulePath(rule.split(u'/', Qt::SkipEmptyParts));
    if (wanted.endsWith(u'*'))
        return path.startsWith(wanted.chopped(1));
    return wanted == path;
}

QString kindName(FailureRule::Kind kind)
{
    switch (kind) {
    case FailureRule::Kind::Answer:
        return u"answer"_s;
    case FailureRule::Kind::Close:
        return u"close"_s;
    case FailureRule::Kind::CloseMidBody:
        return u"closeMidBody"_s;
    case FailureRule::Kind::Hang:
        return u"hang"_s;
    case FailureRule::Kind::Delay:
        return u"delay"_s;
    }
    return {};
}

std::optional<FailureRule::Kind> kindFromName(const QString &name)
{
    for (auto kind : {FailureRule::Kind::Answer, FailureRule::Kind::Close, FailureRule::Kind::CloseMidBody,
                      FailureRule::Kind::Hang, FailureRule::Kind::Delay}) {
        if (kindName(kind).compare(name, Qt::CaseInsensitive) == 0)
            return kind;
    }
    return std::nullopt;
}

QJsonObject ruleToJson(const FailureRule &rule)
{
    return {
        {u"kind"_s, kindName(rule.kind)},
        {u"path"_s, rule.path},
        {u"method"_s, rule.method},
        {u"count"_s, rule.count},
        {u"status"_s, rule.status},
        {u"contentType"_s, QString::fromLatin1(rule.contentType)},
        {u"body"_s, QString::fromUtf8(rule.body)},
        {u"delayMs"_s, rule.delayMs},
    };
}

std::optional<QJsonObject> parseObject(const QByteArray &body, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = u"Body is not valid JSON: %1 at offset %2"_s.arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *error = u"Body must be a JSON object"_s;
        return std::nullopt;
    }
    return document.object();
}

HttpReply methodNotAllowed(const Incoming &in, const QString &allowed)
{
    HttpReply reply = HttpReply::error(405, u"method_not_allowed"_s,
                                       u"%1 is not allowed on /%2"_s.arg(in.method, in.segments.join(u'/')));
    reply.headers.append(qMakePair(QByteArray("Allow"), allowed.toLatin1()));
    return reply;
}

HttpReply notFound(const Incoming &in)
{
    return HttpReply::error(404, u"not_found"_s, u"No resource at /%1"_s.arg(in.segments.join(u'/')));
}

HttpReply serverError(const QString &why)
{
    qCWarning(lcService, "storage failure: %s", qUtf8Printable(why));
    return HttpReply::error(500, u"server_error"_s, u"The service could not complete the request"_s);
}
} // namespace

class TimeLoggingServicePrivate
{
public:
    explicit TimeLoggingServicePrivate(TimeLoggingService *q, ServiceOptions options)
        : q(q)
        , options(std::move(options))
    { }

    bool openDatabase(QString *error);
    bool listen(QString *error);

    void dispatch(const QHttpServerRequest &request, QTcpSocket *socket);
    void send(QTcpSocket *socket, const Incoming &in, const HttpReply &reply);
    void logLine(const Incoming &in, int status) const;

    HttpReply route(const Incoming &in);
    HttpReply tokenEndpoint(const Incoming &in);
    HttpReply apiEndpoint(const Incoming &in);
    HttpReply hookEndpoint(const Incoming &in);
    HttpReply listActivities(qint64 account);
    HttpReply storeActivity(const Incoming &in, qint64 account, const std::optional<QString> &pathId);

    std::optional<FailureRule> takeFailure(const Incoming &in);
    void applyFailure(QTcpSocket *socket, const Incoming &in, const FailureRule &rule, qsizetype logIndex);

    bool clientAuthenticated(const Incoming &in) const;
    HttpReply tokenAnswer(const QString &accessToken, const QString &refreshToken) const;
    std::optional<QString> issueAccessToken(qint64 account);

    TimeLoggingService *q;
    ServiceOptions options;
    std::unique_ptr<ServiceDatabase> db;
    std::unique_ptr<ServiceHttpServer> http;
    QTcpServer *listener = nullptr; // owned by http
    QList<FailureRule> failures;
    QList<RecordedRequest> requests;
};

// ---- start-up -------------------------------------------------------------------------------

bool TimeLoggingServicePrivate::openDatabase(QString *error)
{
    if (db)
        return true;
    auto opened = std::make_unique<ServiceDatabase>(options.databasePath);
    if (!opened->open(TimeLoggingService::demoEmail, TimeLoggingService::demoPassword, options.passwordIterations,
                      error))
        return false;
    db = std::move(opened);
    return true;
}

bool TimeLoggingServicePrivate::listen(QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const bool tls = !options.tlsCertificateFile.isEmpty() || !options.tlsKeyFile.isEmpty();
    http = std::make_unique<ServiceHttpServer>(
        [this](const QHttpServerRequest &request, QTcpSocket *socket) { dispatch(request, socket); });

    if (tls) {
        if (options.tlsCertificateFile.isEmpty() || options.tlsKeyFile.isEmpty())
            return fail(u"TLS needs both a certificate and a key"_s);
        if (!QSslSocket::supportsSsl())
            return fail(u"TLS is not available on this machine"_s);
        const QList<QSslCertificate> chain = QSslCertificate::fromPath(options.tlsCertificateFile);
        if (chain.isEmpty())
            return fail(u"cannot read a PEM certificate from %1"_s.arg(options.tlsCertificateFile));
        QFile keyFile(options.tlsKeyFile);
        if (!keyFile.open(QIODevice::ReadOnly))
            return fail(u"cannot read %1: %2"_s.arg(options.tlsKeyFile, keyFile.errorString()));
        const QByteArray pem = keyFile.readAll();
        QSslKey key(pem, QSsl::Rsa);
        if (key.isNull())
            key = QSslKey(pem, QSsl::Ec);
        if (key.isNull())
            return fail(u"cannot read a PEM private key (RSA or EC) from %1"_s.arg(options.tlsKeyFile));
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificateChain(chain);
        configuration.setPrivateKey(key);
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        auto *server = new QSslServer(http.get());
        server->setSslConfiguration(configuration);
        QObject::connect(server, &QSslServer::startedEncryptionHandshake, server, &RequestTargetTracker::attach);
        listener = server;
    } else {
        listener = new ServiceTcpServer(http.get());
    }
    // Loopback only: the service is a stand-in for tests and demos, never a public server.
    if (!listener->listen(QHostAddress::LocalHost, options.port)) {
        const QString why = u"cannot listen on 127.0.0.1:%1: %2"_s.arg(options.port).arg(listener->errorString());
        http.reset();
        listener = nullptr;
        return fail(why);
    }
    http->bind(listener);
    return true;
}

// ---- the wire -------------------------------------------------------------------------------

void TimeLoggingServicePrivate::dispatch(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const Incoming in = readRequest(request, socket);

    if (options.testHooks && in.segments.value(0) == "__test"_L1) {
        send(socket, in, hookEndpoint(in));
        return;
    }

    qsizetype logIndex = -1;
    if (options.testHooks) {
        requests.append({in.method, in.path, in.query, in.headers, in.body, 0});
        logIndex = requests.size() - 1;
    }

    if (const std::optional<FailureRule> rule = takeFailure(in)) {
        applyFailure(socket, in, *rule, logIndex);
        return;
    }

    const HttpReply reply = route(in);
    if (logIndex >= 0)
        requests[logIndex].status = reply.status;
    send(socket, in, reply);
}

void TimeLoggingServicePrivate::send(QTcpSocket *socket, const Incoming &in, const HttpReply &reply)
{
    logLine(in, reply.status);
    const bool close = in.wantsClose();
    // An answer to HEAD announces its body but carries none.
    socket->write(reply.serialize(close, in.method == "HEAD"_L1 ? 0 : -1));
    if (close)
        socket->disconnectFromHost();
}

// Only the path: the query of the token endpoint carries passwords and tokens.
void TimeLoggingServicePrivate::logLine(const Incoming &in, int status) const
{
    if (!options.logRequests)
        return;
    qCInfo(lcService, "%s %s %d", qUtf8Printable(in.method), qUtf8Printable(in.path), status);
}

std::optional<FailureRule> TimeLoggingServicePrivate::takeFailure(const Incoming &in)
{
    const QString path = rulePath(in.segments);
    for (qsizetype i = 0; i < failures.size(); ++i) {
        FailureRule &rule = failures[i];
        if (!rule.method.isEmpty() && rule.method.compare(in.method, Qt::CaseInsensitive) != 0)
            continue;
        if (!rulePathMatches(rule.path, path))
            continue;
        const FailureRule taken = rule;
        if (rule.count > 0 && --rule.count == 0)
            failures.removeAt(i);
        return taken;
    }
    return std::nullopt;
}

void TimeLoggingServicePrivate::applyFailure(QTcpSocket *socket, const Incoming &in, const FailureRule &rule,
                                             qsizetype logIndex)
{
    const auto recordStatus = [&](int status) {
        if (logIndex >= 0)
            requests[logIndex].status = status;
    };
    switch (rule.kind) {
    case FailureRule::Kind::Answer: {
        recordStatus(rule.status);
        send(socket, in, {rule.status, rule.contentType, rule.body, {}});
        return;
    }
    case FailureRule::Kind::Close:
        recordStatus(0);
        logLine(in, 0);
        socket->disconnectFromHost();
        return;
    case FailureRule::Kind::CloseMidBody: {
        recordStatus(rule.status);
        logLine(in, rule.status);
        const HttpReply reply {
            rule.status, rule.contentType, rule.body.isEmpty() ? QByteArray(64, 'x') : rule.body, {}};
        socket->write(reply.serialize(false, qMax<qsizetype>(1, reply.body.size() / 2)));
        socket->disconnectFromHost();
        return;
    }
    case FailureRule::Kind::Hang:
        recordStatus(0);
        logLine(in, 0);
        return;
    case FailureRule::Kind::Delay: {
        // The request takes effect now; only its answer waits.
        const HttpReply reply = route(in);
        recordStatus(reply.status);
        QTimer::singleShot(qMax(0, rule.delayMs), http.get(), [this, socket = QPointer<QTcpSocket>(socket), in, reply] {
            if (socket && socket->state() == QAbstractSocket::ConnectedState)
                send(socket, in, reply);
        });
        return;
    }
    }
}

// ---- routes ---------------------------------------------------------------------------------

HttpReply TimeLoggingServicePrivate::route(const Incoming &in)
{
    if (in.body.size() > kMaxBodyBytes)
        return HttpReply::error(413, u"request_too_large"_s, u"The request body exceeds %1 bytes"_s.arg(kMaxBodyBytes));
    const QStringList &s = in.segments;
    if (s.size() == 2 && s[0] == "oauth"_L1 && s[1] == "token"_L1)
        return tokenEndpoint(in);
    if (s.size() >= 2 && s[0] == "oauth"_L1 && s[1] == "api"_L1)
        return apiEndpoint(in);
    return notFound(in);
}

bool TimeLoggingServicePrivate::clientAuthenticated(const Incoming &in) const
{
    const QString authorization = in.header(u"authorization"_s).trimmed();
    if (!authorization.startsWith("basic "_L1, Qt::CaseInsensitive))
        return false;
    const auto decoded = QByteArray::fromBase64Encoding(authorization.mid(6).trimmed().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    const QString pair = QString::fromUtf8(*decoded);
    const qsizetype colon = pair.indexOf(u':');
    return colon > 0 && pair.left(colon) == TimeLoggingService::clientId
        && pair.mid(colon + 1) == TimeLoggingService::clientSecret;
}

HttpReply TimeLoggingServicePrivate::tokenAnswer(const QString &accessToken, const QString &refreshToken) const
{
    HttpReply reply = HttpReply::json(200,
                                      QJsonObject {
                                          {u"access_token"_s, accessToken},
                                          {u"token_type"_s, u"bearer"_s},
                                          {u"refresh_token"_s, refreshToken},
                                          {u"expires_in"_s, options.tokenLifetimeSeconds},
                                          {u"scope"_s, u"read write"_s},
                                      });
    reply.headers.append(qMakePair(QByteArray("Cache-Control"), QByteArray("no-store")));
    reply.headers.append(qMakePair(QByteArray("Pragma"), QByteArray("no-cache")));
    return reply;
}

std::optional<QString> TimeLoggingServicePrivate::issueAccessToken(qint64 account)
{
    const QString token = PasswordHasher::randomToken();
    const qint64 expiresAt = QDateTime::currentMSecsSinceEpoch() + qint64(options.tokenLifetimeSeconds) * 1000;
    if (!db->storeToken(PasswordHasher::tokenDigest(token), ServiceDatabase::TokenKind::Access, account, expiresAt))
        return std::nullopt;
    return token;
}

HttpReply TimeLoggingServicePrivate::tokenEndpoint(const Incoming &in)
{
    if (in.method != "GET"_L1 && in.method != "POST"_L1)
        return methodNotAllowed(in, u"GET, POST"_s);
    if (!clientAuthenticated(in))
        return HttpReply::error(401, u"unauthorized"_s, kUnauthorizedDescription);

    const QMap<QString, QString> params = parseQuery(in.query);
    const QString grant = params.value(u"grant_type"_s);

    if (grant == "password"_L1) {
        const std::optional<qint64> account
            = db->authenticate(params.value(u"username"_s), params.value(u"password"_s));
        if (!account)
            return HttpReply::error(400, u"invalid_grant"_s, u"Bad credentials"_s);
        const QString refresh = PasswordHasher::randomToken();
        if (!db->storeToken(PasswordHasher::tokenDigest(refresh), ServiceDatabase::TokenKind::Refresh, *account,
                            std::nullopt))
            return serverError(db->lastError());
        const std::optional<QString> access = issueAccessToken(*account);
        if (!access)
            return serverError(db->lastError());
        return tokenAnswer(*access, refresh);
    }

    if (grant == "refresh_token"_L1) {
        const QString refresh = params.value(u"refresh_token"_s);
        const std::optional<ServiceDatabase::TokenRecord> record = refresh.isEmpty()
            ? std::nullopt
            : db->token(PasswordHasher::tokenDigest(refresh), ServiceDatabase::TokenKind::Refresh);
        if (!record)
            return HttpReply::error(400, u"invalid_grant"_s, u"Invalid refresh token: %1"_s.arg(refresh));
        // The refresh token stays valid and goes back unchanged beside the new access token.
        const std::optional<QString> access = issueAccessToken(record->accountId);
        if (!access)
            return serverError(db->lastError());
        return tokenAnswer(*access, refresh);
    }

    return HttpReply::error(400, u"unsupported_grant_type"_s,
                            grant.isEmpty() ? u"Missing grant type"_s : u"Unsupported grant type: %1"_s.arg(grant));
}

HttpReply TimeLoggingServicePrivate::apiEndpoint(const Incoming &in)
{
    const QString authorization = in.header(u"authorization"_s).trimmed();
    const QString token
        = authorization.startsWith("bearer "_L1, Qt::CaseInsensitive) ? authorization.mid(7).trimmed() : QString();
    if (token.isEmpty())
        return HttpReply::error(401, u"unauthorized"_s, kUnauthorizedDescription);
    const std::optional<ServiceDatabase::TokenRecord> record
        = db->token(PasswordHasher::tokenDigest(token), ServiceDatabase::TokenKind::Access);
    if (!record)
        return HttpReply::error(401, u"invalid_token"_s, u"Invalid access token: %1"_s.arg(token));
    if (record->expiresAtMs && *record->expiresAtMs <= QDateTime::currentMSecsSinceEpoch())
        return HttpReply::error(401, u"invalid_token"_s, u"Access token expired: %1"_s.arg(token));
    const qint64 account = record->accountId;

    const QStringList resource = in.segments.mid(2);
    if (resource == QStringList {u"types"_s}) {
        if (in.method != "GET"_L1)
            return methodNotAllowed(in, u"GET"_s);
        bool ok = false;
        const QList<TypeRecord> types = db->types(account, &ok);
        if (!ok)
            return serverError(db->lastError());
        QJsonArray array;
        for (const TypeRecord &type : types)
            array.append(type.toJson());
        return HttpReply::json(200, array);
    }
    if (resource == QStringList {u"activities"_s}) {
        if (in.method == "GET"_L1)
            return listActivities(account);
        if (in.method == "POST"_L1)
            return storeActivity(in, account, std::nullopt);
        return methodNotAllowed(in, u"GET, POST"_s);
    }
    if (resource.size() == 2 && resource[0] == "activities"_L1) {
        if (in.method != "PUT"_L1)
            return methodNotAllowed(in, u"PUT"_s);
        return storeActivity(in, account, resource[1]);
    }
    return notFound(in);
}

HttpReply TimeLoggingServicePrivate::listActivities(qint64 account)
{
    bool ok = false;
    const qint64 cutoff = QDateTime::currentSecsSinceEpoch() - kRecentSeconds;
    const QList<ActivityRecord> activities = db->currentActivities(account, cutoff, &ok);
    if (!ok)
        return serverError(db->lastError());
    QJsonArray array;
    for (const ActivityRecord &activity : activities)
        array.append(activity.toJson());
    return HttpReply::json(200, array);
}

// POST (pathId absent) creates, PUT (pathId given) replaces; both check the whole
// body before anything is written.
HttpReply TimeLoggingServicePrivate::storeActivity(const Incoming &in, qint64 account,
                                                   const std::optional<QString> &pathId)
{
    const auto invalid = [](const QString &why) {
        return HttpReply::error(400, u"invalid_request"_s, why);
    };
    QString why;
    const std::optional<QJsonObject> object = parseObject(in.body, &why);
    if (!object)
        return invalid(why);
    const std::optional<ActivityRecord> activity = ActivityRecord::fromJson(*object, pathId.value_or(QString()), &why);
    if (!activity)
        return invalid(why);
    if (pathId && activity->id != *pathId)
        return invalid(u"The id in the body (%1) differs from the id in the path (%2)"_s.arg(activity->id, *pathId));

    bool ok = false;
    const bool exists = db->hasActivity(account, activity->id, &ok);
    if (!ok)
        return serverError(db->lastError());
    if (!pathId && exists)
        return HttpReply::error(409, u"conflict"_s, u"An activity with id %1 exists already"_s.arg(activity->id));
    if (pathId && !exists)
        return HttpReply::error(404, u"not_found"_s, u"No activity with id %1"_s.arg(activity->id));

    const bool knownType = db->hasType(account, activity->typeId, &ok);
    if (!ok)
        return serverError(db->lastError());
    if (!knownType)
        return invalid(u"Unknown typeId: %1"_s.arg(activity->typeId));

    if (!db->saveActivity(account, *activity))
        return serverError(db->lastError());
    return HttpReply::json(pathId ? 200 : 201, activity->toJson());
}

// ---- test hooks -----------------------------------------------------------------------------

HttpReply TimeLoggingServicePrivate::hookEndpoint(const Incoming &in)
{
    const QString hook = in.segments.mid(1).join(u'/');
    if (hook == "failures"_L1) {
        if (in.method == "DELETE"_L1) {
            failures.clear();
            return HttpReply::empty(204);
        }
        if (in.method == "GET"_L1) {
            QJsonArray array;
            for (const FailureRule &rule : failures)
                array.append(ruleToJson(rule));
            return HttpReply::json(200, array);
        }
        if (in.method != "POST"_L1)
            return methodNotAllowed(in, u"GET, POST, DELETE"_s);
        QString why;
        const std::optional<QJsonObject> object = parseObject(in.body, &why);
        if (!object)
            return HttpReply::error(400, u"invalid_request"_s, why);
        FailureRule rule;
        const std::optional<FailureRule::Kind> kind
            = kindFromName(object->value("kind"_L1).toString(kindName(FailureRule::Kind::Answer)));
        if (!kind)
            return HttpReply::error(400, u"invalid_request"_s,
                                    u"\"kind\" must be one of answer, close, closeMidBody, hang, delay"_s);
        rule.kind = *kind;
        rule.path = object->value("path"_L1).toString();
        if (rule.path.isEmpty())
            return HttpReply::error(400, u"invalid_request"_s, u"\"path\" is missing"_s);
        rule.method = object->value("method"_L1).toString();
        rule.count = object->value("count"_L1).toInt(1);
        rule.status = object->value("status"_L1).toInt(500);
        rule.contentType = object->value("contentType"_L1).toString(u"application/json"_s).toLatin1();
        rule.body = object->value("body"_L1).toString().toUtf8();
        rule.delayMs = object->value("delayMs"_L1).toInt(0);
        q->addFailure(rule);
        return HttpReply::json(201, ruleToJson(rule));
    }
    if (hook == "expire-tokens"_L1) {
        if (in.method != "POST"_L1)
            return methodNotAllowed(in, u"POST"_s);
        q->expireAllAccessTokens();
        return HttpReply::empty(204);
    }
    if (hook == "requests"_L1) {
        if (in.method == "DELETE"_L1) {
            requests.clear();
            return HttpReply::empty(204);
        }
        if (in.method != "GET"_L1)
            return methodNotAllowed(in, u"GET, DELETE"_s);
        QJsonArray array;
        for (const RecordedRequest &request : std::as_const(requests)) {
            QJsonObject headers;
            for (auto it = request.headers.cbegin(); it != request.headers.cend(); ++it)
                headers.insert(it.key(), it.value());
            array.append(QJsonObject {
                {u"method"_s, request.method},
                {u"path"_s, request.path},
                {u"query"_s, request.query},
                {u"headers"_s, headers},
                {u"body"_s, QString::fromUtf8(request.body)},
                {u"status"_s, request.status},
            });
        }
        return HttpReply::json(200, array);
    }
    if (hook == "users"_L1) {
        if (in.method != "POST"_L1)
            return methodNotAllowed(in, u"POST"_s);
        QString why;
        const std::optional<QJsonObject> object = parseObject(in.body, &why);
        if (!object)
            return HttpReply::error(400, u"invalid_request"_s, why);
        if (!q->addUser(object->value("email"_L1).toString(), object->value("password"_L1).toString(), &why))
            return HttpReply::error(400, u"invalid_request"_s, why);
        return HttpReply::empty(204);
    }
    return notFound(in);
}

// ---- public face ----------------------------------------------------------------------------

TimeLoggingService::TimeLoggingService(ServiceOptions options, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<TimeLoggingServicePrivate>(this, std::move(options)))
{ }

TimeLoggingService::~TimeLoggingService()
{
    // Close the sockets before the storage they answer from goes away.
    d->http.reset();
}

bool TimeLoggingService::start(QString *error)
{
    if (d->http) {
        if (error)
            *error = u"the service is running already"_s;
        return false;
    }
    if (!d->openDatabase(error))
        return false;
    return d->listen(error);
}

quint16 TimeLoggingService::port() const
{
    return d->listener ? d->listener->serverPort() : 0;
}

QString TimeLoggingService::baseUrl() const
{
    const bool tls = qobject_cast<QSslServer *>(d->listener) != nullptr;
    return u"%1://127.0.0.1:%2/"_s.arg(tls ? u"https"_s : u"http"_s).arg(port());
}

bool TimeLoggingService::addUser(const QString &email, const QString &password, QString *error)
{
    if (!d->openDatabase(error))
        return false;
    return d->db->addAccount(email, password, d->options.passwordIterations, error);
}

void TimeLoggingService::addFailure(const FailureRule &rule)
{
    d->failures.append(rule);
}

void TimeLoggingService::clearFailures()
{
    d->failures.clear();
}

void TimeLoggingService::expireAllAccessTokens()
{
    if (d->db && !d->db->expireAccessTokens(QDateTime::currentMSecsSinceEpoch()))
        qCWarning(lcService, "cannot expire tokens: %s", qUtf8Printable(d->db->lastError()));
}

QList<RecordedRequest> TimeLoggingService::requests() const
{
    return d->requests;
}

void TimeLoggingService::clearRequests()
{
    d->requests.clear();
}

TimeLoggingService::TokenPair TimeLoggingService::issueTokens(const QString &email)
{
    if (!d->openDatabase(nullptr))
        return {};
    const std::optional<qint64> account = d->db->accountId(email);
    if (!account)
        return {};
    const QString refresh = PasswordHasher::randomToken();
    if (!d->db->storeToken(PasswordHasher::tokenDigest(refresh), ServiceDatabase::TokenKind::Refresh, *account,
                           std::nullopt))
        return {};
    const std::optional<QString> access = d->issueAccessToken(*account);
    if (!access)
        return {};
    return {*access, refresh};
}
