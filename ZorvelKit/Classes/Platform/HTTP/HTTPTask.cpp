#include "HTTPTask.h"

#include "HTTPJSONResponseSerializer.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The network stack reports every status outside 2xx as one of these; they
// still mean that an answer arrived, so the status decides, not the error.
bool isStatusError(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::NoError:
    case QNetworkReply::ContentAccessDenied:
    case QNetworkReply::ContentOperationNotPermittedError:
    case QNetworkReply::ContentNotFoundError:
    case QNetworkReply::AuthenticationRequiredError:
    case QNetworkReply::ContentReSendError:
    case QNetworkReply::ContentConflictError:
    case QNetworkReply::ContentGoneError:
    case QNetworkReply::UnknownContentError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::InternalServerError:
    case QNetworkReply::OperationNotImplementedError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownServerError:
        return true;
    default:
        return false;
    }
}

} // namespace

HTTPTask::HTTPTask(HTTPRequest request, std::shared_ptr<const HTTPJSONResponseSerializer> responseSerializer,
                   CompletionHandler completion)
    : m_request(std::move(request))
    , m_responseSerializer(std::move(responseSerializer))
    , m_completion(std::move(completion))
{ }

HTTPTask::~HTTPTask()
{
    if (m_reply) {
        m_reply->disconnect();
        m_reply->abort();
        m_reply->deleteLater();
    }
}

QNetworkAccessManager &HTTPTask::networkAccessManager()
{
    static QPointer<QNetworkAccessManager> manager;
    if (!manager) {
        manager = new QNetworkAccessManager(QCoreApplication::instance());
        manager->setAutoDeleteReplies(false);
    }
    return *manager;
}

void HTTPTask::resume()
{
    if (m_state != State::Suspended)
        return;
    m_state = State::Running;
    m_keepAlive = shared_from_this();

    QNetworkRequest request(m_request.url());
    for (const auto &[field, value] : m_request.allHTTPHeaderFields())
        request.setRawHeader(field, value);
    // Silence for this long ends the request, so a hung service never keeps a
    // caller waiting for good.
    request.setTransferTimeout(m_request.timeoutInterval());

    QNetworkAccessManager &manager = networkAccessManager();
    const QByteArray method = m_request.HTTPMethod().toLatin1();
    QNetworkReply *reply = nullptr;
    if (method == "GET")
        reply = manager.get(request);
    else if (method == "HEAD")
        reply = manager.head(request);
    else if (m_request.HTTPBody().isEmpty())
        // Without a body the stack's POST would invent a form Content-Type.
        reply = manager.sendCustomRequest(request, method);
    else if (method == "POST")
        reply = manager.post(request, m_request.HTTPBody());
    else if (method == "PUT")
        reply = manager.put(request, m_request.HTTPBody());
    else
        reply = manager.sendCustomRequest(request, method, m_request.HTTPBody());
    m_reply = reply;
    QObject::connect(reply, &QNetworkReply::finished, reply, [this] { finish(); });
}

void HTTPTask::cancel()
{
    if (m_state != State::Running || !m_reply)
        return;
    m_cancelled = true;
    m_reply->abort();
}

void HTTPTask::finish()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect();
    reply->deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || !isStatusError(reply->error())) {
        // No answer (or only part of one): the caller learns why from the network stack.
        auto code = reply->error();
        QString description = reply->errorString();
        if (code == QNetworkReply::OperationCanceledError && !m_cancelled) {
            // The transfer time-out aborts the reply, which the stack reports as a cancel.
            code = QNetworkReply::TimeoutError;
            description = u"The request timed out."_s;
        }
        complete(std::nullopt, Error(HTTPNetworkErrorDomain, code, description));
        return;
    }
    m_responseData = reply->readAll();

    m_response = HTTPURLResponse(reply->url(), status.toInt(), reply->rawHeaderPairs());
    std::optional<Error> error;
    const std::optional<QJsonValue> object
        = m_responseSerializer->responseObjectForResponse(*m_response, m_responseData, &error);
    complete(error ? std::nullopt : object, error);
}

void HTTPTask::complete(const std::optional<QJsonValue> &responseObject, const std::optional<Error> &error)
{
    m_state = State::Completed;
    // Released only after the handler ran, and the handler is dropped first so
    // that whatever it captured goes with it.
    const std::shared_ptr<HTTPTask> self = std::move(m_keepAlive);
    CompletionHandler completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion)
        completion(self, responseObject, error);
}
