#include "windowsmidi.h"
#include "miditrace.h"

#include "midibytepipe.h"

#include <QDebug>
#include <QString>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <windows.h>

#include <mmsystem.h>
#include <objbase.h>

namespace {

constexpr DWORD inputBlockSize = 200;
// How long sendSysex waits between asking whether the platform is done with the bytes.
constexpr DWORD stillPlayingWaitMs = 100;

HMIDIIN inputHandle = nullptr;
HMIDIOUT outputHandle = nullptr;
char inputBuffer[inputBlockSize];
MIDIHDR inputHeader;
MIDIHDR outputHeader;
MidiBytePipe bytePipe;
// The name connect() succeeded with; empty while nothing is open.
std::string connectedPort;

// The port name as the platform names devices. Names are narrow in the system code page.
std::vector<wchar_t> wide_name(const char *portName)
{
    const size_t length = std::strlen(portName);
    std::vector<wchar_t> wideName(length + 1, L'\0');
    size_t converted = 0;
    mbstowcs_s(&converted, wideName.data(), wideName.size(), portName, _TRUNCATE);
    return wideName;
}

// Whether an input and an output device carry the name; lists quietly.
bool devices_present(const wchar_t *name)
{
    bool input = false;
    const UINT inputs = midiInGetNumDevs();
    for (UINT i = 0; i < inputs && !input; ++i) {
        MIDIINCAPSW caps;
        input = midiInGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR
            && std::wcscmp(caps.szPname, name) == 0;
    }
    if (!input)
        return false;
    const UINT outputs = midiOutGetNumDevs();
    for (UINT i = 0; i < outputs; ++i) {
        MIDIOUTCAPSW caps;
        if (midiOutGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR
            && std::wcscmp(caps.szPname, name) == 0)
            return true;
    }
    return false;
}

// Runs on winmm's own thread. The parameters are pointer-sized: a header address arrives in
// param1, which an unsigned long would truncate on 64-bit Windows.
void CALLBACK midiCallback(HMIDIIN handle, UINT message, DWORD_PTR, DWORD_PTR param1,
                           DWORD_PTR param2)
{
    switch (message) {
    case MIM_OPEN:
    case MIM_CLOSE:
    case MIM_ERROR:
    case MIM_LONGERROR:
    case MIM_MOREDATA:
        break;
    case MIM_DATA:
        // A short message is not carried; the trace shows it was there.
        qCDebug(lcMidiTrace) << "data" << quint64(param1);
        qCDebug(lcMidiTrace) << "data" << quint64(param2);
        break;
    case MIM_LONGDATA: {
        auto *header = reinterpret_cast<MIDIHDR *>(param1);
        bytePipe.append(reinterpret_cast<const unsigned char *>(header->lpData),
                        unsigned(header->dwBytesRecorded));
        // While the port closes, the block comes back from the reset and is not lent again.
        if (bytePipe.inputRunning()) {
            midiInUnprepareHeader(handle, header, sizeof(MIDIHDR));
            midiInPrepareHeader(handle, header, sizeof(MIDIHDR));
            midiInAddBuffer(handle, header, sizeof(MIDIHDR));
        }
        break;
    }
    default:
        qCDebug(lcMidiTrace) << "default";
        break;
    }
}

bool open_input(UINT device)
{
    MMRESULT result = midiInOpen(&inputHandle, device, reinterpret_cast<DWORD_PTR>(&midiCallback),
                                 0, CALLBACK_FUNCTION);
    if (result != MMSYSERR_NOERROR) {
        inputHandle = nullptr;
        qCDebug(lcMidiTrace) << "Error opening input!" << result;
        return false;
    }

    std::memset(&inputHeader, 0, sizeof inputHeader);
    inputHeader.lpData = inputBuffer;
    inputHeader.dwBufferLength = inputBlockSize;
    midiInPrepareHeader(inputHandle, &inputHeader, sizeof inputHeader);
    midiInAddBuffer(inputHandle, &inputHeader, sizeof inputHeader);
    bytePipe.setInputRunning(true);

    if (midiInStart(inputHandle) == MMSYSERR_NOERROR) {
        qCDebug(lcMidiTrace) << "Midi input open";
        return true;
    }
    // The lent block has to come back before the port can close.
    bytePipe.setInputRunning(false);
    midiInReset(inputHandle);
    midiInUnprepareHeader(inputHandle, &inputHeader, sizeof inputHeader);
    midiInClose(inputHandle);
    inputHandle = nullptr;
    qCDebug(lcMidiTrace) << "Error setting up input!";
    return false;
}

bool open_output(UINT device)
{
    MMRESULT result = midiOutOpen(&outputHandle, device, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) {
        outputHandle = nullptr;
        qCDebug(lcMidiTrace) << "Error opening output!" << result;
        return false;
    }
    qCDebug(lcMidiTrace) << "Midi output open";
    return true;
}

} // namespace

WindowsMidi::WindowsMidi()
{
    // S_FALSE (already initialised on this thread) also has to be balanced; a thread that Qt
    // set up as a single-threaded apartment answers RPC_E_CHANGED_MODE and must be left alone.
    m_comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
}

WindowsMidi::~WindowsMidi()
{
    // Owners disconnect first; closing here too keeps a forgotten port from outliving us.
    disconnect();
    if (m_comInitialised)
        CoUninitialize();
}

bool WindowsMidi::connect(const char *portName)
{
    const std::vector<wchar_t> wideName = wide_name(portName);

    // Every device is listed; the first of the name that opens is used.
    bool inputOpen = false;
    const UINT inputs = midiInGetNumDevs();
    for (UINT i = 0; i < inputs; ++i) {
        MIDIINCAPSW caps;
        if (midiInGetDevCapsW(i, &caps, sizeof caps) != MMSYSERR_NOERROR)
            continue;
        qCDebug(lcMidiTrace).noquote() << "Found input:" << QString::fromWCharArray(caps.szPname);
        if (!inputOpen && std::wcscmp(caps.szPname, wideName.data()) == 0)
            inputOpen = open_input(i);
    }
    if (!inputOpen)
        return false;

    bool outputOpen = false;
    const UINT outputs = midiOutGetNumDevs();
    for (UINT i = 0; i < outputs; ++i) {
        MIDIOUTCAPSW caps;
        if (midiOutGetDevCapsW(i, &caps, sizeof caps) != MMSYSERR_NOERROR)
            continue;
        qCDebug(lcMidiTrace).noquote() << "Found output:" << QString::fromWCharArray(caps.szPname);
        if (!outputOpen && std::wcscmp(caps.szPname, wideName.data()) == 0)
            outputOpen = open_output(i);
    }
    if (outputOpen) {
        connectedPort = portName;
        return true;
    }
    disconnect();
    return false;
}

void WindowsMidi::disconnect()
{
    // Cleared first: the reset below hands the lent block back, and it must not be lent again.
    bytePipe.setInputRunning(false);
    if (inputHandle) {
        midiInStop(inputHandle);
        midiInReset(inputHandle);
        midiInUnprepareHeader(inputHandle, &inputHeader, sizeof inputHeader);
        midiInClose(inputHandle);
        inputHandle = nullptr;
    }
    if (outputHandle) {
        midiOutReset(outputHandle);
        midiOutClose(outputHandle);
        outputHandle = nullptr;
    }
    connectedPort.clear();
}

std::string WindowsMidi::connectedName() const
{
    return connectedPort;
}

std::string WindowsMidi::systemName() const
{
    return "Windows Multimedia";
}

bool WindowsMidi::connectionAlive()
{
    // An unplugged device's handles stay open; its name leaves the device list.
    return inputHandle && outputHandle && devices_present(wide_name(connectedPort.c_str()).data());
}

bool WindowsMidi::portPresent(const char *portName)
{
    return devices_present(wide_name(portName).data());
}

std::vector<IMidi::ListedPort> WindowsMidi::listPorts()
{
    // In the system code page, as connect() takes the name.
    const auto narrow = [](const wchar_t *name) {
        std::string text(std::wcslen(name) * MB_CUR_MAX + 1, '\0');
        size_t converted = 0;
        wcstombs_s(&converted, text.data(), text.size(), name, _TRUNCATE);
        text.resize(converted > 0 ? converted - 1 : 0);
        return text;
    };
    std::vector<ListedPort> listed;
    const UINT inputs = midiInGetNumDevs();
    for (UINT i = 0; i < inputs; ++i) {
        MIDIINCAPSW caps;
        if (midiInGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR)
            listed.push_back({narrow(caps.szPname), true});
    }
    const UINT outputs = midiOutGetNumDevs();
    for (UINT i = 0; i < outputs; ++i) {
        MIDIOUTCAPSW caps;
        if (midiOutGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR)
            listed.push_back({narrow(caps.szPname), false});
    }
    return listed;
}

int WindowsMidi::read(unsigned char *buffer, unsigned int capacity)
{
    return bytePipe.read(buffer, capacity);
}

bool WindowsMidi::dataAvailable()
{
    return bytePipe.dataAvailable();
}

bool WindowsMidi::waitForData(unsigned long msecs)
{
    return bytePipe.waitForData(msecs);
}

void WindowsMidi::wakeWaiter()
{
    bytePipe.wakeWaiter();
}

int WindowsMidi::sendSysex(unsigned char *message, unsigned int count)
{
    std::memset(&outputHeader, 0, sizeof outputHeader);
    outputHeader.lpData = reinterpret_cast<LPSTR>(message);
    outputHeader.dwBufferLength = count;
    // Without an open output this fails with an invalid-handle code and nothing is sent.
    MMRESULT result = midiOutPrepareHeader(outputHandle, &outputHeader, sizeof outputHeader);
    if (result != MMSYSERR_NOERROR)
        return int(result);

    const MMRESULT sent = midiOutLongMsg(outputHandle, &outputHeader, sizeof outputHeader);
    // The caller's bytes are free again only once the header is unprepared.
    while (midiOutUnprepareHeader(outputHandle, &outputHeader, sizeof outputHeader)
               == MIDIERR_STILLPLAYING
           && sent == MMSYSERR_NOERROR) {
        Sleep(stillPlayingWaitMs);
    }
    return int(sent);
}
