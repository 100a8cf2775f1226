#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Keeps the programs of this project from talking over each other on the device. A claim is a
// lock file in the user's runtime folder ($XDG_RUNTIME_DIR, else the temporary folder): the
// editor holds the editor claim for as long as it runs, and whichever program updates the
// firmware holds the update claim for the transfer. The claim of a process that has died counts
// as free. Where no lock file can be made, every claim counts as free: the device is not kept
// from anybody for want of a folder.
class DeviceClaim
{
public:
    enum class Kind { Editor, Update };

    // A process that holds a claim.
    struct Holder
    {
        qint64 pid = 0;
        QString program; // its executable's name
        // The program as the messages name it: "the Vellichord Editor", "vellichord update",
        // or else the executable's name.
        QString name() const;
    };

    explicit DeviceClaim(Kind kind);
    // Releases the claim.
    ~DeviceClaim();
    DeviceClaim(const DeviceClaim &) = delete;
    DeviceClaim &operator=(const DeviceClaim &) = delete;

    // Takes the claim. False when another holds it; other (when given) then tells who.
    bool take(Holder *other = nullptr);
    void release();
    bool isTaken() const;

    // Whether a claim of this kind is held, by this process or another; holder (when given)
    // tells by whom.
    static bool isHeld(Kind kind, Holder *holder = nullptr);
    // The lock file of a claim of this kind.
    static QString path(Kind kind);

private:
    std::unique_ptr<QLockFile> lock;
    bool taken = false;
};
