#include "app/StandardPorts.h"

#include "gateway/TcpGateway.h"
#include "mail/Mail602.h"

namespace orvex {

EnginePorts StandardPorts()
{
    EnginePorts ports;
    ports.MakeClientPort = [](TAgentEngine& engine) { return std::make_unique<TcpGateway>(engine); };
    ports.MakeMailPort = [](TData& pbx, LogSink& log, const bool& extent, const QString& libraryPath) {
        return std::make_unique<TMail602>(pbx, log, extent, libraryPath);
    };
    return ports;
}

}  // namespace orvex
