// The floor for bench_jackidle: the least a JACK MIDI client can cost. One input and one output
// port, a process callback that does nothing, the input connected from SOURCE and the output to
// DESTINATION (full port names). Prints "ready" once connected, then waits until it is
// terminated.
//
//   bench_jackbareclient SOURCE DESTINATION

#include <jack/jack.h>
#include <jack/midiport.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int process(jack_nframes_t, void *)
{
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_jackbareclient SOURCE DESTINATION\n");
        return 2;
    }
    jack_client_t *client = jack_client_open("bare client", JackNoStartServer, nullptr);
    if (!client) {
        std::fprintf(stderr, "bench_jackbareclient: no JACK server\n");
        return 1;
    }
    jack_port_t *in = jack_port_register(client, "input", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput,
                                         0);
    jack_port_t *out = jack_port_register(client, "output", JACK_DEFAULT_MIDI_TYPE,
                                          JackPortIsOutput, 0);
    if (!in || !out || jack_set_process_callback(client, &process, nullptr) != 0
        || jack_activate(client) != 0) {
        std::fprintf(stderr, "bench_jackbareclient: cannot set up the client\n");
        return 1;
    }
    if (jack_connect(client, argv[1], jack_port_name(in)) != 0
        || jack_connect(client, jack_port_name(out), argv[2]) != 0) {
        std::fprintf(stderr, "bench_jackbareclient: cannot connect to %s and %s\n", argv[1],
                     argv[2]);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    // The signal only ends pause(); the client is closed in order after it.
    std::signal(SIGTERM, [](int) {});
    pause();
    jack_client_close(client);
    return 0;
}
