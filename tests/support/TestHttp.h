// A synchronous HTTP helper for tests that talk to the service on the wire:
// one request, wait for its end, and get status, headers and body back.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

struct TestHttpReply
{
    int status = 0; // 0 when no answer came (see error)
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QString errorString;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    bool timedOut = false;

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    QJsonObject object() const; // the body as a JSON object (empty if it is none)
    QJsonArray array() const; // the body as a JSON array (empty if it is none)
};

class TestHttp final
{
public:
    // Paths given to send() are appended to baseUrl as text ("oauth/api/types").
    explicit TestHttp(QString baseUrl);

    TestHttpReply send(const QByteArray &method, const QString &path, const QByteArray &body = {},
                       const QList<QPair<QByteArray, QByteArray>> &headers = {}, int timeoutMs = 10000);

    // The same over a bare socket, with the request target written exactly as given
    // ("//oauth/token?…"): QNetworkAccessManager collapses leading slashes of a path.
    // Plain HTTP only; the connection is closed after the answer.
    TestHttpReply sendRaw(const QByteArray &method, const QByteArray &target, const QByteArray &body = {},
                          const QList<QPair<QByteArray, QByteArray>> &headers = {}, int timeoutMs = 10000);

    // Trust these certificates (a test's self-signed one) for HTTPS.
    void setCaCertificates(const QList<QSslCertificate> &certificates) { m_caCertificates = certificates; }

    static QPair<QByteArray, QByteArray> basic(const QString &user, const QString &password);
    static QPair<QByteArray, QByteArray> bearer(const QString &token);
    static QPair<QByteArray, QByteArray> json(); // Content-Type: application/json

private:
    QString m_baseUrl;
    QNetworkAccessManager m_manager;
    QList<QSslCertificate> m_caCertificates;
};
