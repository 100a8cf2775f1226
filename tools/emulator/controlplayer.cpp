#include "controlplayer.h"

#include "controlnames.h"
#include "emulateddevice.h"
#include "emulatoroutput.h"
#include "sysextext.h"
#include "touchmatch.h"

ControlPlayer::ControlPlayer(EmulatedDevice &device, SendNow sendNow, bool hex)
    : device(device)
    , sendNow(std::move(sendNow))
    , hex(hex)
{
    // A full port is tried again a moment later, with the event loop running meanwhile.
    retry.setSingleShot(true);
    retry.setInterval(1);
    QObject::connect(&retry, &QTimer::timeout, [this] { pushFlood(); });
}

void ControlPlayer::touch(int control, int value)
{
    const QList<QByteArray> messages = TouchMatch::messagesOf(table(), control, value);
    QStringList sent;
    for (const QByteArray &message : messages) {
        if (!sendNow(message, false)) {
            complain(
                QStringLiteral("no room in the output queue; %1 is not sent").arg(text(message)));
            continue;
        }
        sent << text(message);
    }
    say(QStringLiteral("touched %1: ").arg(ControlNames::name(control))
        + sent.join(QStringLiteral(", ")));
}

void ControlPlayer::flood(int count, int control, int perSecond)
{
    // One round of values; the flood goes round it as often as it takes.
    const ControlTable &controls = table();
    floodRound.clear();
    for (int value = 0; value < 128; ++value)
        floodRound << TouchMatch::messagesOf(controls, control, value);
    floodCount = count;
    floodSent = 0;
    floodControl = control;
    floodRate = perSecond;
    floodClock.start();
    pushFlood();
}

const ControlTable &ControlPlayer::table()
{
    patch.apply(device.patchMessage());
    return patch.controls();
}

void ControlPlayer::pushFlood()
{
    const qint64 due = floodRate > 0 ? floodClock.elapsed() * floodRate / 1000 + 1 : floodCount;
    while (floodSent < floodCount) {
        if (floodSent >= due || !sendNow(floodRound.at(int(floodSent % floodRound.size())), true)) {
            retry.start();
            return;
        }
        ++floodSent;
    }
    if (floodCount > 0)
        say(QStringLiteral("flooded %1 messages of %2")
                .arg(floodCount)
                .arg(ControlNames::name(floodControl)));
    floodCount = 0;
}

QString ControlPlayer::text(const QByteArray &message) const
{
    const std::optional<TouchMatch::Touch> touch = TouchMatch::touchOf(message);
    QString line = touch ? TouchMatch::describe(*touch)
                         : QStringLiteral("Note off %1 on Ch %2")
                               .arg(int(message[1]))
                               .arg((quint8(message[0]) & 0x0F) + 1);
    if (touch && touch->kind != TouchMatch::Touch::Kind::Note)
        line += QStringLiteral(" = %1").arg(int(message[2]));
    if (hex)
        line += QStringLiteral(" (%1)").arg(QString::fromLatin1(message.toHex(' ')));
    return line;
}

void takeInputLine(EmulatedDevice &device, ControlPlayer &player, const QString &line)
{
    if (line.isEmpty())
        return;
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString command = words.value(0);
    bool ok = false;
    if (command == QLatin1String("touch") || command == QLatin1String("flood")) {
        const bool touch = command == QLatin1String("touch");
        const QString controlWord = words.value(touch ? 1 : 2, QStringLiteral("S1"));
        QString error;
        const int control = ControlNames::parse(controlWord, &error);
        // The value of a touch may be left out, the count of a flood may not.
        const int numberAt = touch ? 2 : 1;
        int number = ControlPlayer::defaultValue;
        ok = touch;
        if (words.size() > numberAt)
            number = words.at(numberAt).toInt(&ok);
        const bool numberFits = ok && (touch ? number >= 0 && number <= 127 : number > 0);
        bool rateOk = true;
        const int perSecond = words.size() > 3 ? words.at(3).toInt(&rateOk) : 0;
        rateOk = rateOk && perSecond >= 0;
        if (words.size() > (touch ? 3 : 4) || (touch && words.size() < 2) || control < 0
            || !numberFits || !rateOk) {
            complain(QStringLiteral("standard input: \"%1\" is not %2%3")
                         .arg(printable_text(line),
                              touch ? QStringLiteral("\"touch CONTROL [VALUE]\" with VALUE 0..127")
                                    : QStringLiteral(
                                        "\"flood N [CONTROL [PER_SECOND]]\" with N at least 1"),
                              control < 0 ? QStringLiteral(": ") + error : QString()));
            return;
        }
        if (touch)
            player.touch(control, number);
        else
            player.flood(number, control, perSecond);
        return;
    }
    const int presetNo = words.size() == 2 ? words[1].toInt(&ok) : -1;
    if (command != QLatin1String("preset") || !ok || !device.selectPreset(presetNo)) {
        complain(QStringLiteral("standard input: \"%1\" is not \"preset N\" with N 0..%2, "
                                "\"touch CONTROL [VALUE]\" or \"flood N [CONTROL [PER_SECOND]]\"")
                     .arg(printable_text(line))
                     .arg(EmulatedDevice::presetCount - 1));
        return;
    }
    say(QStringLiteral("preset %1 is current: ").arg(presetNo)
        + EmulatedDevice::describe(device.patchMessage()));
}
