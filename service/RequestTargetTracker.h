// Keeps the request targets of one connection exactly as the client wrote them.
// The HTTP parser resolves "//oauth/token" as an authority ("oauth") plus "/token", so the raw line is read here.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QQueue>
#include <optional>

class QTcpSocket;

class RequestTargetTracker final : public QObject
{
    Q_OBJECT
public:
    // Must run before anything reads from the socket, so that this tracker sees every byte.
    static void attach(QTcpSocket *socket);
    // The raw target ("//oauth/token?grant_type=…") of the oldest request not yet taken.
    static std::optional<QByteArray> takeTarget(QTcpSocket *socket);

private:
    explicit RequestTargetTracker(QTcpSocket *socket);
    void consume(QByteArray data);

    QTcpSocket *m_socket;
    QByteArray m_head; // header bytes of the message being read
    qint64 m_bodyRemaining = 0; // body bytes still to skip
    bool m_lost = false; // framing not followed (chunked body, oversized head): stop guessing
    QQueue<QByteArray> m_targets;
};
