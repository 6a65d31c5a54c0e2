#include "machine/link/in_process_link.h"

InProcessLink::InProcessLink(Connector connector)
    : m_connector(std::move(connector))
{
}

InProcessLink::~InProcessLink()
{
    shutDown();
}

std::shared_ptr<LinkStream> InProcessLink::connectStream(const QString &address, quint16 port, QString *error)
{
    if (m_connector)
        return m_connector(address, port, error);
    if (error)
        *error = QStringLiteral("no peer");
    return nullptr;
}
