// What the engine needs of the TCP gateway: the server opened and closed at its steps of
// start-up and shutdown, an exchange answer delivered to the client that asked for it, and
// the response cache that answers are offered to.
#pragma once

#include <QString>
#include <cstdint>

namespace orvex {

class TClientPort {
public:
    virtual ~TClientPort() = default;

    // Starts listening; on failure returns false with the socket layer's message.
    virtual bool Open(int port, QString* error) = 0;
    // Disconnects every client and stops listening, if the server is active.
    virtual void Close() = 0;

    // Sends an answer to the connected client with this number and returns the client's tag
    // as the log prefixes show it ("address:number"); a null string when that client has
    // gone, and then nothing is sent.
    virtual QString SendAnswer(int32_t number, const uint8_t* data, int length) = 0;

    // Allocates the response cache with this many entries; false when it cannot be allocated.
    virtual bool AllocateCache(int entries) = 0;
    virtual void CacheStore(const uint8_t* request, int requestLength, int answerLength, const uint8_t* answer) = 0;
};

}  // namespace orvex
