#include "machine/link_connection.h"

#include "platform/socket/posix_socket.h"

LinkConnection::~LinkConnection()
{
    PosixSocket::closeFd(fd);
}

void LinkConnection::shutdown()
{
    open.store(false);
    PosixSocket::shutdownBoth(fd);
}
