// The state of the link to the exchange as the operator and a service manager see it.
#pragma once

namespace orvex {

enum class TLinkState {
    PortClosed,   // the serial port could not be opened (or was closed)
    Waiting,      // the port is open; the exchange has not answered yet
    Answering,    // the exchange answers
    Unavailable,  // declared unavailable after a run of unanswered requests
};

}  // namespace orvex
