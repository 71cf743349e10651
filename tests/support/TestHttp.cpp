#include "TestHttp.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>

QJsonObject TestHttpReply::object() const
{
    return QJsonDocument::fromJson(body).object();
}

QJsonArray TestHttpReply::array() const
{
    return QJsonDocument::fromJson(body).array();
}

TestHttp::TestHttp(QString baseUrl)
    : m_baseUrl(std::move(baseUrl))
{ }

TestHttpReply TestHttp::send(const QByteArray &method, const QString &path, const QByteArray &body,
                             const QList<QPair<QByteArray, QByteArray>> &headers, int timeoutMs)
{
    QNetworkRequest request(QUrl(m_baseUrl + path));
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    if (!m_caCertificates.isEmpty()) {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setCaCertificates(m_caCertificates);
        request.setSslConfiguration(configuration);
    }
    // Without this a 401 would be retried with credentials from a cache of QNAM's.
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);

    QNetworkReply *reply = m_manager.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();

    TestHttpReply result;
    if (!reply->isFinished()) {
        result.timedOut = true;
        reply->abort();
    }
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.error = reply->error();
    result.errorString = reply->errorString();
    for (const auto &[name, value] : reply->rawHeaderPairs())
        result.headers.insert(name.toLower(), value);
    result.body = reply->readAll();
    reply->deleteLater();
    return result;
}

QPair<QByteArray, QByteArray> TestHttp::basic(const QString &user, const QString &password)
{
    return {"Authorization", "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64()};
}

QPair<QByteArray, QByteArray> TestHttp::bearer(const QString &token)
{
    return {"Authorization", "Bearer " + token.toUtf8()};
}

QPair<QByteArray, QByteArray> TestHttp::json()
{
    return {"Content-Type", "application/json"};
}
