// One request in flight over the process's network access manager. It keeps
// the request it sent and, once answered, the response; completes on the GUI thread.
#pragma once

#include "Error.h"
#include "HTTPRequest.h"
#include "HTTPURLResponse.h"

#include <QByteArray>
#include <QJsonValue>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class HTTPJSONResponseSerializer;
class QNetworkAccessManager;
class QNetworkReply;

// Failures where no answer arrived (refused connection, time-out, TLS): the
// code is the QNetworkReply::NetworkError, the description the network stack's.
inline const QString HTTPNetworkErrorDomain = QStringLiteral("HTTPNetworkErrorDomain");

class HTTPTask final : public std::enable_shared_from_this<HTTPTask>
{
public:
    enum class State { Suspended, Running, Completed };
    // Exactly one of responseObject and error may be present; both are absent
    // for a successful empty body.
    using CompletionHandler
        = std::function<void(const std::shared_ptr<HTTPTask> &task, const std::optional<QJsonValue> &responseObject,
                             const std::optional<Error> &error)>;

    HTTPTask(HTTPRequest request, std::shared_ptr<const HTTPJSONResponseSerializer> responseSerializer,
             CompletionHandler completion);
    ~HTTPTask();
    HTTPTask(const HTTPTask &) = delete;
    HTTPTask &operator=(const HTTPTask &) = delete;

    const HTTPRequest &currentRequest() const { return m_request; }
    // Present once an answer arrived, whatever its status.
    const std::optional<HTTPURLResponse> &response() const { return m_response; }
    const QByteArray &responseData() const { return m_responseData; }
    State state() const { return m_state; }

    // Sends the request; the task keeps itself alive until its handler has run.
    void resume();
    // Ends a running task; its handler runs with an OperationCanceledError.
    void cancel();

    // The one access manager of the process, created on first use on the GUI
    // thread and owned by the application object.
    static QNetworkAccessManager &networkAccessManager();

private:
    void finish();
    void complete(const std::optional<QJsonValue> &responseObject, const std::optional<Error> &error);

    HTTPRequest m_request;
    std::shared_ptr<const HTTPJSONResponseSerializer> m_responseSerializer;
    CompletionHandler m_completion;
    QPointer<QNetworkReply> m_reply;
    std::optional<HTTPURLResponse> m_response;
    QByteArray m_responseData;
    State m_state = State::Suspended;
    bool m_cancelled = false;
    std::shared_ptr<HTTPTask> m_keepAlive;
};
