// The plain-TCP listener of the reference service: a QTcpServer that attaches a
// request-target tracker to every connection before the HTTP parser reads from it.
#pragma once

#include <QTcpServer>

class ServiceTcpServer final : public QTcpServer
{
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr handle) override;
};
