#include "ServiceTcpServer.h"

#include "RequestTargetTracker.h"

#include <QTcpSocket>

void ServiceTcpServer::incomingConnection(qintptr handle)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    RequestTargetTracker::attach(socket);
    addPendingConnection(socket);
}
