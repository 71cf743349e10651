// One answer of the reference service before it goes on the wire: status,
// content type, extra headers and body, with helpers for JSON and OAuth errors.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

struct HttpReply
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers; // besides Content-Type and Content-Length

    static HttpReply json(int status, const QJsonObject &object);
    static HttpReply json(int status, const QJsonArray &array);
    static HttpReply empty(int status);
    // Every refusal carries "error" and "error_description", so that a client
    // can always tell why without parsing free text.
    static HttpReply error(int status, const QString &code, const QString &description);

    // The full HTTP/1.1 message; bodyLimit < 0 writes the whole body, else at most
    // that many bytes of it (the Content-Length still announces the whole body).
    QByteArray serialize(bool closeConnection, qsizetype bodyLimit = -1) const;

    static QByteArray reasonPhrase(int status);
};
