#pragma once

// What the server does between two waits. The scheduling loop implements this
// and is handed to CServer::Run.

class CServer;

class IServerWork {
public:
    virtual ~IServerWork() = default;

    // Called once when the server is ready (lock taken, events made) and then
    // after every wake-up: a "TemporaServer" signal or the end of the last
    // wait. Returns how long to wait before the next pass, in milliseconds;
    // a negative value waits for the next signal only. The server also wakes
    // at every minute boundary, which runs a pass as well.
    virtual int RunPass(CServer& server) = 0;

    // Called once when the server is asked to stop, before Run returns:
    // cancel what is still waiting.
    virtual void Stop() {}
};
