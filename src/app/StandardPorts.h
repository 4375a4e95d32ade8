// The agent's own gateways behind the engine's ports: the TCP gateway for client programs
// and the Mail602 gateway with its mail agent library.
#pragma once

#include "engine/Engine.h"

namespace orvex {

EnginePorts StandardPorts();

}  // namespace orvex
