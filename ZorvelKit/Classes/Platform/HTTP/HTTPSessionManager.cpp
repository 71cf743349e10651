#include "HTTPSessionManager.h"

using namespace Qt::StringLiterals;

HTTPSessionManager::HTTPSessionManager(const QUrl &baseURL)
    : m_baseURL(baseURL)
    , m_requestSerializer(std::make_shared<HTTPRequestSerializer>())
    , m_responseSerializer(std::make_shared<HTTPJSONResponseSerializer>())
{
    if (!m_baseURL.isEmpty() && !m_baseURL.path().endsWith(u'/'))
        m_baseURL.setPath(m_baseURL.path(QUrl::FullyEncoded) + u'/', QUrl::StrictMode);
}

void HTTPSessionManager::setRequestSerializer(std::shared_ptr<HTTPRequestSerializer> serializer)
{
    if (serializer)
        m_requestSerializer = std::move(serializer);
}

void HTTPSessionManager::setResponseSerializer(std::shared_ptr<HTTPJSONResponseSerializer> serializer)
{
    if (serializer)
        m_responseSerializer = std::move(serializer);
}

QUrl HTTPSessionManager::URLForString(const QString &URLString) const
{
    const QUrl url(URLString);
    return m_baseURL.isEmpty() ? url : m_baseURL.resolved(url);
}

std::shared_ptr<HTTPTask> HTTPSessionManager::GET(const QString &URLString,
                                                  const std::optional<QVariantMap> &parameters, SuccessHandler success,
                                                  FailureHandler failure)
{
    return dataTaskWithHTTPMethod(u"GET"_s, URLString, parameters, std::move(success), std::move(failure));
}

std::shared_ptr<HTTPTask> HTTPSessionManager::POST(const QString &URLString,
                                                   const std::optional<QVariantMap> &parameters, SuccessHandler success,
                                                   FailureHandler failure)
{
    return dataTaskWithHTTPMethod(u"POST"_s, URLString, parameters, std::move(success), std::move(failure));
}

std::shared_ptr<HTTPTask> HTTPSessionManager::PUT(const QString &URLString,
                                                  const std::optional<QVariantMap> &parameters, SuccessHandler success,
                                                  FailureHandler failure)
{
    return dataTaskWithHTTPMethod(u"PUT"_s, URLString, parameters, std::move(success), std::move(failure));
}

std::shared_ptr<HTTPTask> HTTPSessionManager::dataTaskWithHTTPMethod(const QString &method, const QString &URLString,
                                                                     const std::optional<QVariantMap> &parameters,
                                                                     SuccessHandler success, FailureHandler failure)
{
    const HTTPRequest request = m_requestSerializer->requestWithMethod(method, URLForString(URLString), parameters);
    auto task
        = dataTaskWithRequest(request,
                              [success = std::move(success), failure = std::move(failure)](
                                  const std::shared_ptr<HTTPTask> &task,
                                  const std::optional<QJsonValue> &responseObject, const std::optional<Error> &error) {
                                  if (error) {
                                      if (failure)
                                          failure(task, *error);
                                  } else if (success) {
                                      success(task, responseObject);
                                  }
                              });
    task->resume();
    return task;
}

std::shared_ptr<HTTPTask> HTTPSessionManager::dataTaskWithRequest(const HTTPRequest &request,
                                                                  HTTPTask::CompletionHandler completion) const
{
    return std::make_shared<HTTPTask>(request, m_responseSerializer, std::move(completion));
}
