#include "RequestTargetTracker.h"

#include <QTcpSocket>

namespace {
constexpr qsizetype kMaxHeadBytes = 64 * 1024;
}

RequestTargetTracker::RequestTargetTracker(QTcpSocket *socket)
    : QObject(socket)
    , m_socket(socket)
{
    // Connected before the HTTP server's own handler, so this one peeks first.
    connect(socket, &QTcpSocket::readyRead, this, [this] { consume(m_socket->peek(m_socket->bytesAvailable())); });
}

void RequestTargetTracker::attach(QTcpSocket *socket)
{
    new RequestTargetTracker(socket);
}

std::optional<QByteArray> RequestTargetTracker::takeTarget(QTcpSocket *socket)
{
    auto *tracker = socket ? socket->findChild<RequestTargetTracker *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!tracker || tracker->m_lost || tracker->m_targets.isEmpty())
        return std::nullopt;
    return tracker->m_targets.dequeue();
}

void RequestTargetTracker::consume(QByteArray data)
{
    while (!m_lost && !data.isEmpty()) {
        if (m_bodyRemaining > 0) {
            const qint64 skipped = qMin<qint64>(m_bodyRemaining, data.size());
            m_bodyRemaining -= skipped;
            data.remove(0, skipped);
            continue;
        }
        m_head += data;
        data.clear();
        const qsizetype end = m_head.indexOf("\r\n\r\n");
        if (end < 0) {
            m_lost = m_head.size() > kMaxHeadBytes;
            return;
        }
        data = m_head.mid(end + 4);
        const QByteArray head = m_head.left(end);
        m_head.clear();

        QList<QByteArray> lines = head.split('\n');
        while (!lines.isEmpty() && lines.first().trimmed().isEmpty())
            lines.removeFirst(); // stray line breaks between messages
        if (lines.isEmpty())
            continue;
        const QList<QByteArray> requestLine = lines.takeFirst().trimmed().split(' ');
        if (requestLine.size() != 3) {
            m_lost = true;
            return;
        }
        m_targets.enqueue(requestLine[1]);
        for (const QByteArray &line : std::as_const(lines)) {
            const qsizetype colon = line.indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-length")
                m_bodyRemaining = value.toLongLong();
            else if (name == "transfer-encoding" && value.toLower().contains("chunked"))
                m_lost = true;
        }
    }
}
