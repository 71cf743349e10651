#include "ServiceHttpServer.h"

ServiceHttpServer::ServiceHttpServer(Dispatcher dispatcher, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_dispatcher(std::move(dispatcher))
{ }

bool ServiceHttpServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    // The router is bypassed on purpose: it does not match paths behind extra
    // leading slashes, and every answer, including unknown paths, must be JSON.
    m_dispatcher(request, socket);
    return true;
}

void ServiceHttpServer::missingHandler(const QHttpServerRequest &, QTcpSocket *)
{
    // Never reached: handleRequest answers every request.
}
