// Arbitrary bytes as a patch: first loaded as a patch file (MidiController::loadSysex), then
// handed to the input monitor byte by byte as a message from the device, when the input is one
// whole message (the monitor queues a patch for the controller, which applies it through
// parseType2Message).
// The editor is a whole main window with a port that has no device behind it, made once; each
// input starts from the editor's first patch.
//
// Properties, after each of the two:
// - every parameter value of every model lies in its parameter's min..max;
// - the Type 1 message the editor would send (getType1Sysex) is well formed: F0, data bytes
//   below 0x80 only (the preset number excepted when it lies outside 0..19: then nothing is
//   sent), F7;
// - when the patch was not applied (load returned false, no modelUpdated) the Type 1 message
//   and the name are what they were before;
// - when it was applied (modelUpdated emitted once, and the load returned true) every value is
//   the message's byte at the parameter's address clamped into its range, the name is the
//   message's name field up to its first NUL as Latin-1, the message carries this device's
//   header (a foreign one changes nothing), and the preset number is the message's byte when
//   it comes from the device, also outside 0..19, and unchanged when it comes from a file;
// - Download sends nothing while the preset number lies outside 0..19.

#include "../common/simulateddevice.h"
#include "diagnosticlog.h"
#include "fuzzsupport.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "patchdocument.h"
#include "patchlayout.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUndoStack>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

MainWindow *window = nullptr;
MidiController *controller = nullptr;
QString patchFile;
QByteArray firstPatch; // the editor's Type 1 message when it starts
QByteArray current;    // the Type 1 message as built last
int updates = 0;       // modelUpdated signals since the last look
bool changed = false;  // whether the patch may differ from firstPatch
QString runDir;        // the working directory while an input runs
QString startDir;      // the working directory otherwise

// Changes the working directory for the scope.
class InDirectory
{
public:
    explicit InDirectory(const QString &path) { FUZZ_CHECK(QDir::setCurrent(path)); }
    ~InDirectory() { FUZZ_CHECK(QDir::setCurrent(startDir)); }
    InDirectory(const InDirectory &) = delete;
    InDirectory &operator=(const InDirectory &) = delete;
};

QByteArray type1()
{
    return QByteArray(reinterpret_cast<const char *>(controller->getType1Sysex()),
                      int(PatchLayout::length));
}

void checkWellFormed(const QByteArray &message)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(message.constData());
    FUZZ_CHECK(message.size() == int(PatchLayout::length));
    FUZZ_CHECK(bytes[0] == PatchLayout::sysexStart);
    FUZZ_CHECK(bytes[PatchLayout::endOffset] == PatchLayout::sysexEnd);
    for (unsigned int i = 1; i < PatchLayout::endOffset; ++i)
        FUZZ_CHECK(
            bytes[i] < 0x80
            || (i == PatchLayout::presetNoOffset && !controller->getPatch().presetNoInRange()));
    FUZZ_CHECK(controller->downloadRefusal().isEmpty() == controller->getPatch().presetNoInRange());
}

void checkRanges()
{
    const ControlTable &models = *controller->getModels();
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : models.at(i)->parameters())
            FUZZ_CHECK(p.min() <= p.value() && p.value() <= p.max());
    }
}

// The patch the message holds, as it must be applied.
void checkApplied(const unsigned char *message, int presetNoBefore, bool fromFile)
{
    const ControlTable &models = *controller->getModels();
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : models.at(i)->parameters()) {
            const unsigned char sent = message[p.address()];
            FUZZ_CHECK(p.value() == std::clamp(sent, p.min(), p.max()));
        }
    }
    const char *name = reinterpret_cast<const char *>(message) + PatchLayout::nameOffset;
    FUZZ_CHECK(controller->getPresetName()
               == QString::fromLatin1(name, int(qstrnlen(name, PatchLayout::nameLength))));
    FUZZ_CHECK(std::equal(std::begin(PatchLayout::header), std::end(PatchLayout::header), message));
    const int sentNo = message[PatchLayout::presetNoOffset];
    FUZZ_CHECK(controller->getPresetNo() == (fromFile ? presetNoBefore : sentNo));
}

// Runs apply (which tells whether it says it applied the patch) and checks the outcome
// against message, the bytes it applies.
template<typename Apply>
void applyAndCheck(Apply apply, const unsigned char *message, bool fromFile)
{
    // Building the message costs most of a run; the one built last is still current.
    const QByteArray before = current;
    const QString nameBefore = controller->getPresetName();
    const int presetNoBefore = controller->getPresetNo();
    updates = 0;
    const bool applied = apply();
    FUZZ_CHECK(updates == (applied ? 1 : 0));

    checkRanges();
    const QByteArray after = type1();
    current = after;
    checkWellFormed(after);
    if (applied) {
        changed = true;
        checkApplied(message, presetNoBefore, fromFile);
    } else {
        FUZZ_CHECK(after == before);
        FUZZ_CHECK(controller->getPresetName() == nameBefore);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startQt((*argv)[0]);

    // The editor appends to log.txt in the working directory for every patch it applies. The
    // inputs run in a directory of their own, where log.txt is emptied before each; everything
    // else, the paths given to the fuzzer among them, stays in the directory it was started in.
    static QTemporaryDir workDir;
    if (!workDir.isValid())
        qFatal("fuzz_patch: cannot make a working directory");
    runDir = workDir.path();
    startDir = QDir::currentPath();
    patchFile = workDir.filePath(QStringLiteral("patch.syx"));
    fuzz::keepArtifactsHere(argc, argv);

    window = new MainWindow(noDevice());
    controller = window->getMidiController();
    QObject::connect(controller, &MidiController::modelUpdated, [] { ++updates; });
    firstPatch = type1();
    current = firstPatch;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 0x7FFFFFFF)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const InDirectory inRunDir(runDir);
    QFile::resize(QStringLiteral("log.txt"), 0); // fails harmlessly before the first entry

    // As a patch file. A file is applied with the editor's own preset number in it.
    {
        QFile file(patchFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(bytes) != bytes.size())
            qFatal("fuzz_patch: cannot write %s", qPrintable(patchFile));
    }
    applyAndCheck([&] { return controller->loadSysex(patchFile); },
                  reinterpret_cast<const unsigned char *>(bytes.constData()), true);

    // As a message from the device, byte by byte into the input monitor as the port hands them
    // over. Only an input that is one whole message arrives as itself; how other byte streams
    // are cut into messages is fuzz_sysexinput's.
    const auto isWholeMessage = [&bytes] {
        if (bytes.size() < 2 || uchar(bytes.front()) != PatchLayout::sysexStart
            || uchar(bytes.back()) != PatchLayout::sysexEnd)
            return false;
        return std::all_of(bytes.begin() + 1, bytes.end() - 1,
                           [](char byte) { return uchar(byte) < 0x80; });
    };
    if (isWholeMessage())
        applyAndCheck(
            [&] {
                const int before = updates;
                for (const char byte : bytes)
                    controller->getMonitor()->readSysex(uchar(byte));
                return updates != before;
            },
            reinterpret_cast<const unsigned char *>(bytes.constData()), false);
    // The same start for every input, so that an input does the same whenever it runs: put
    // back here rather than before the next input, so that every input also ends where it
    // started. An input that ran twice (as the fuzzer's leak check runs it) then holds the same
    // memory after each run.
    if (changed) {
        const int presetNoBefore = controller->getPresetNo();
        FUZZ_CHECK(controller->parseType2Message(firstPatch));
        // Checked against the first patch itself, which saves building a message anew.
        checkApplied(reinterpret_cast<const unsigned char *>(firstPatch.constData()),
                     presetNoBefore, false);
        current = firstPatch;
        changed = false;
    }
    // Every input starts with no history. A history kept across inputs would grow with each
    // one, and the fuzzer's leak check, which runs after any input that keeps memory, would then
    // run after every input.
    window->document()->undoStack()->clear();
    // The log's batch goes out now, as it would half a second later in the editor: kept across
    // inputs, it too would make the leak check run after every input.
    DiagnosticLog::instance().flush();
    return 0;
}
