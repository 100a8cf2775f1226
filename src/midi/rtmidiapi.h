#pragma once

#include "miditrace.h"

#include <QDebug>

#include <RtMidi.h>

#include <memory>

// Which MIDI system the editor's and the emulator's RtMidi clients use: on Linux the ALSA sequencer
// when the system has one and JACK otherwise, or JACK whatever else the system has when jackOnly is
// set. Elsewhere the platform's own (CoreMIDI on macOS).
RtMidi::Api system_midi_api(bool jackOnly);

// Sends libjack's own error and information lines to the MIDI trace rather than to stderr,
// from now on; repeated calls change nothing. A build without libjack has none.
void route_midi_system_messages();

// While set, libjack's own error messages from the calling thread are dropped. Without a JACK
// server every attempt to open a client prints several lines; a port list taken every second
// must not. Other threads, and builds without libjack, are not affected. Returns the setting
// it replaces.
bool set_midi_system_quiet(bool quiet);

// Creates an RtMidiIn or RtMidiOut client on that system, or null when there is none. A
// failed ALSA client falls back to JACK.
template<class Client>
std::unique_ptr<Client> create_midi_client(bool jackOnly, const char *clientName)
{
    RtMidi::Api api = system_midi_api(jackOnly);
    for (;;) {
        try {
            return std::make_unique<Client>(api, clientName);
        } catch (const RtMidiError &error) {
            qWarning().noquote() << "MIDI not available:" << error.what();
        }
        if (api != RtMidi::LINUX_ALSA)
            return nullptr;
        api = RtMidi::UNIX_JACK;
    }
}
