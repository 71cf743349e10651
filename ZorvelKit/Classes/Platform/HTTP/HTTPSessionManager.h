// Sends requests relative to a base URL with one request serializer (default
// headers, body encoding) and one response serializer; cheap to make per request.
#pragma once

#include "Error.h"
#include "HTTPJSONResponseSerializer.h"
#include "HTTPRequestSerializer.h"
#include "HTTPTask.h"

#include <QJsonValue>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class HTTPSessionManager final
{
public:
    using SuccessHandler
        = std::function<void(const std::shared_ptr<HTTPTask> &task, const std::optional<QJsonValue> &responseObject)>;
    using FailureHandler = std::function<void(const std::shared_ptr<HTTPTask> &task, const Error &error)>;

    // A base whose path does not end in "/" gets one, so that "activities"
    // lands below it rather than replacing its last segment. Without a base,
    // URL strings must be absolute.
    explicit HTTPSessionManager(const QUrl &baseURL = QUrl());

    const QUrl &baseURL() const { return m_baseURL; }

    // Form encoding unless replaced; the serializers are shared with the tasks
    // they serve, so a task may outlive its manager.
    const std::shared_ptr<HTTPRequestSerializer> &requestSerializer() const { return m_requestSerializer; }
    void setRequestSerializer(std::shared_ptr<HTTPRequestSerializer> serializer);
    const std::shared_ptr<HTTPJSONResponseSerializer> &responseSerializer() const { return m_responseSerializer; }
    void setResponseSerializer(std::shared_ptr<HTTPJSONResponseSerializer> serializer);

    // The absolute URL a URL string stands for (resolved against the base).
    QUrl URLForString(const QString &URLString) const;

    // The task is already running; its handlers are called once, on the GUI thread.
    std::shared_ptr<HTTPTask> GET(const QString &URLString, const std::optional<QVariantMap> &parameters,
                                  SuccessHandler success, FailureHandler failure);
    std::shared_ptr<HTTPTask> POST(const QString &URLString, const std::optional<QVariantMap> &parameters,
                                   SuccessHandler success, FailureHandler failure);
    std::shared_ptr<HTTPTask> PUT(const QString &URLString, const std::optional<QVariantMap> &parameters,
                                  SuccessHandler success, FailureHandler failure);
    std::shared_ptr<HTTPTask> dataTaskWithHTTPMethod(const QString &method, const QString &URLString,
                                                     const std::optional<QVariantMap> &parameters,
                                                     SuccessHandler success, FailureHandler failure);

    // A suspended task for a ready-made request; call resume() to send it.
    std::shared_ptr<HTTPTask> dataTaskWithRequest(const HTTPRequest &request,
                                                  HTTPTask::CompletionHandler completion) const;

private:
    QUrl m_baseURL;
    std::shared_ptr<HTTPRequestSerializer> m_requestSerializer;
    std::shared_ptr<HTTPJSONResponseSerializer> m_responseSerializer;
};
