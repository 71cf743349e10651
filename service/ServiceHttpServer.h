// The HTTP front of the reference service: hands every parsed request, with its
// raw socket, to one dispatcher, so that the service decides each answer byte by byte.
#pragma once

#include <QAbstractHttpServer>
#include <functional>

class ServiceHttpServer final : public QAbstractHttpServer
{
    Q_OBJECT
public:
    using Dispatcher = std::function<void(const QHttpServerRequest &, QTcpSocket *)>;

    explicit ServiceHttpServer(Dispatcher dispatcher, QObject *parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    Dispatcher m_dispatcher;
};
