#include "TestHttp.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTcpSocket>
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

TestHttpReply TestHttp::sendRaw(const QByteArray &method, const QByteArray &target, const QByteArray &body,
                                const QList<QPair<QByteArray, QByteArray>> &headers, int timeoutMs)
{
    const QUrl base(m_baseUrl);
    QByteArray message = method + ' ' + target + " HTTP/1.1\r\nHost: " + base.host().toLatin1() + ':'
        + QByteArray::number(base.port()) + "\r\nConnection: close\r\n";
    for (const auto &[name, value] : headers)
        message += name + ": " + value + "\r\n";
    if (!body.isEmpty() || method == "POST" || method == "PUT")
        message += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    message += "\r\n" + body;

    QTcpSocket socket;
    QByteArray received;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&socket, &QTcpSocket::connected, &loop, [&] { socket.write(message); });
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] { received += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    socket.connectToHost(base.host(), quint16(base.port()));
    loop.exec();
    received += socket.readAll();

    TestHttpReply result;
    result.timedOut = !timer.isActive();
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0) {
        result.error = QNetworkReply::RemoteHostClosedError;
        result.errorString = QStringLiteral("no complete answer");
        return result;
    }
    const QList<QByteArray> lines = received.first(end).split('\n');
    const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
    result.status = statusLine.value(1).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            result.headers.insert(lines[i].first(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    result.body = received.mid(end + 4);
    const bool announced = result.headers.contains("content-length");
    if (announced && result.body.size() < result.headers.value("content-length").toLongLong()) {
        result.error = QNetworkReply::RemoteHostClosedError;
        result.errorString = QStringLiteral("answer cut short");
    }
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
