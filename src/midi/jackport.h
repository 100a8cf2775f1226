#pragma once

#include "imidi.h"
#include "midibytepipe.h"
#include "mididatawait.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <string>

class JackClientOpen;
class JackLister;
class JackNotice;
typedef struct _jack_client jack_client_t;

// The MIDI port on a JACK server, through libjack itself: one client holds the input and the
// output port. Its process callback only moves raw event bytes through fixed ring buffers; a
// reader thread of the port's own hands the received bytes on to the byte pipe. Every byte the
// device sends is queued, not only SysEx: the input monitor sorts the stream. Received bytes
// held by the port never pass a bound, whatever the device sends; beyond it they are dropped.
// While nothing is connected the port has no client in the server's cycles, so it costs the
// server nothing. Ports that come and go are followed through the server's notifications, on
// the connection's client while connected and on the lister's otherwise.
// Every request to the server is waited for up to a limit: a stalled server (stopped, not
// killed) answers none, and then counts as a stopped MIDI system until it takes a client or a
// message again.
class JackPort : public IMidi, public MidiDataWait
{
public:
    // Error codes of sendSysex besides 0, as the RtMidi port's: notConnected also once the port
    // connected to, or the whole server, has gone, until the next connect.
    static constexpr int notConnected = 1;
    static constexpr int sendFailed = 2;

    // Received bytes that wait in the pipe at most, by default; the ring buffer between the
    // server and the reader thread holds ringBytes more at most.
    static constexpr unsigned int defaultBound = 1u << 20;
    static constexpr unsigned int ringBytes = 1u << 18;
    // Largest message sendSysex takes.
    static constexpr unsigned int maxSendBytes = 32768;

    explicit JackPort(unsigned int bound = defaultBound);
    ~JackPort() override;
    JackPort(const JackPort &) = delete;
    JackPort &operator=(const JackPort &) = delete;

    bool connect(const char *portName) override;
    void disconnect() override;
    int read(unsigned char *buffer, unsigned int capacity) override;
    bool dataAvailable() override;
    int sendSysex(unsigned char *message, unsigned int count) override;
    bool waitForData(unsigned long msecs) override;
    void wakeWaiter() override;
    std::string connectedName() const override;
    std::string systemName() const override;
    bool connectionAlive() override;
    bool portPresent(const char *portName) override;
    bool midiSystemStopped() override;
    std::vector<ListedPort> listPorts() override;
    void setWaitLimit(int ms) override;
    bool listedPortMatches(const std::string &listed, const char *portName) const override;
    // True while a server runs: changed is then called on libjack's notification thread.
    bool watchPorts(std::function<void()> changed) override;

    // Received bytes held now and not read yet.
    unsigned int bufferedBytes() const;
    // Received bytes dropped so far because the bound was reached.
    unsigned long long droppedBytes() const;

private:
    struct Connection;

    // The client of an open the server answered within waitMs, or null.
    jack_client_t *openClient(int waitMs);
    void traceStall();
    int waitLimit() const;
    // Closes connection's client within the wait limit, or leaves it to close later.
    void closeClient(std::unique_ptr<Connection> connection);
    void closeConnection();
    JackLister &lister();

    const unsigned int m_bound;
    // Declared before the connection, so it outlives the reader thread that appends to it.
    MidiBytePipe m_pipe;
    // Declared before the clients that post it.
    std::shared_ptr<JackNotice> m_notice;
    std::unique_ptr<Connection> m_connection;
    // Lists ports while nothing is connected, through a client that is never activated.
    std::unique_ptr<JackLister> m_lister;
    std::string m_connectedName;
    // The full name of the port the output is connected to.
    QString m_outputName;
    // Set when a connection ended because the server went away; cleared by the next connect.
    bool m_serverStopped = false;
    // Set when the server left a request unanswered within the limit; cleared once it answers.
    bool m_stalled = false;
    int m_waitLimit;
    // An open of the port's client that the server has not answered yet.
    std::unique_ptr<JackClientOpen> m_opening;
    std::atomic<unsigned long long> m_dropped{0};
};
