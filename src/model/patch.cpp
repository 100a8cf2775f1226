#include "patch.h"

#include "controlnames.h"
#include "parametertext.h"
#include "patchlayout.h"
#include "sysextext.h"
#include "trace.h"

#include <QDebug>

#include <algorithm>
#include <array>

namespace {

// Offsets 0..8 of every Type 1 message; the preset number and a zero byte follow.
constexpr unsigned char type1Header[] = {PatchLayout::sysexStart, 0x00, 0x00, 0x00, 0x00, 0x7F,
                                         PatchLayout::kindType1,  0x02, 0x51};
static_assert(sizeof(type1Header) == PatchLayout::presetNoOffset);

bool isPrintableAscii(uint codePoint)
{
    return codePoint >= 0x20 && codePoint <= 0x7E;
}

// Every name byte must be a SysEx data byte (below 0x80): anything but printable ASCII is sent
// as '?'. The name ends at its first NUL.
std::array<unsigned char, PatchLayout::nameLength> nameField(const QString &name)
{
    std::array<unsigned char, PatchLayout::nameLength> field{};
    std::size_t n = 0;
    for (const uint codePoint : name.toUcs4()) {
        if (codePoint == 0 || n == field.size())
            break;
        field[n++] = isPrintableAscii(codePoint) ? static_cast<unsigned char>(codePoint) : '?';
    }
    return field;
}

bool isPatchKind(unsigned char kind)
{
    return kind == PatchLayout::kindType1 || kind == PatchLayout::kindType2;
}

} // namespace

Patch::NameFit Patch::fitName(const QString &text, int cursor)
{
    NameFit fit;
    fit.cursor = cursor;
    for (int i = 0; i < text.size();) {
        const int width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, width);
        if (isPrintableAscii(character.toUcs4().value(0))) {
            fit.text += character;
        } else {
            fit.refused += character;
            if (i < cursor)
                fit.cursor -= std::min(width, cursor - i);
        }
        i += width;
    }
    const int excess = fit.text.size() - int(PatchLayout::nameLength);
    if (excess > 0) {
        const int from = std::max(0, fit.cursor - excess);
        fit.cut = fit.text.mid(from, excess);
        fit.text.remove(from, excess);
        fit.cursor = from;
    }
    return fit;
}

void Patch::setName(const QString &name)
{
    qCDebug(lcTrace).noquote() << "setPresetName" << printable_text(name);
    presetName = name;
}

void Patch::setPresetNo(int presetNo)
{
    if (presetNo >= 0 && presetNo <= PatchLayout::highestPresetNo)
        number = presetNo;
}

void Patch::writeType1(unsigned char *msg) const
{
    std::copy(std::begin(type1Header), std::end(type1Header), msg);
    msg[PatchLayout::presetNoOffset] = static_cast<unsigned char>(number);
    msg[PatchLayout::presetNoOffset + 1] = 0x00;

    const auto name = nameField(presetName);
    std::copy(name.begin(), name.end(), msg + PatchLayout::nameOffset);

    for (int i = 0; i < ControlTable::count; ++i) {
        if (const MidiControlModel *model = table.at(i))
            model->writeType1Sysex(msg);
        else
            qCDebug(lcTrace) << "control null";
    }

    // Both axes of the X-Y pad send on the channel the user chose.
    unsigned char xyChannel = 0;
    if (table.at(ControlTable::xyPadIndex)->getValue(Channel, &xyChannel))
        msg[ControlTable::xyPadXChannelAddress] = xyChannel;

    msg[PatchLayout::endOffset] = PatchLayout::sysexEnd;
}

QByteArray Patch::toType1() const
{
    QByteArray message(int(PatchLayout::length), '\0');
    writeType1(reinterpret_cast<unsigned char *>(message.data()));
    return message;
}

bool Patch::apply(const QByteArray &message)
{
    const auto *msg = reinterpret_cast<const unsigned char *>(message.constData());

    if (message.size() < static_cast<int>(PatchLayout::length)) {
        qCDebug(lcTrace) << "parseType2Message: message of" << message.size()
                         << "bytes is too short";
        return false;
    }
    // A longer message is no patch: applied from its first 348 bytes, a byte slipped in
    // between would shift every value into the next control's fields.
    if (message.size() > static_cast<int>(PatchLayout::length)
        || msg[PatchLayout::endOffset] != PatchLayout::sysexEnd) {
        qCDebug(lcTrace) << "parseType2Message: message of" << message.size()
                         << "bytes does not end at byte" << PatchLayout::endOffset;
        return false;
    }
    if (!PatchLayout::hasDeviceHeader(message.constData(), message.size())) {
        qCDebug(lcTrace) << "parseType2Message: not this device's header";
        return false;
    }
    if (!isPatchKind(msg[PatchLayout::kindOffset])) {
        qCDebug(lcTrace) << "parseType2Message: not a patch, kind byte"
                         << msg[PatchLayout::kindOffset];
        return false;
    }

    // Byte for byte as Latin-1, so that a saved name loads back exactly as it was.
    const char *nameBytes = message.constData() + PatchLayout::nameOffset;
    const QString name = QString::fromLatin1(nameBytes,
                                             qstrnlen(nameBytes, PatchLayout::nameLength));
    qCDebug(lcTrace).noquote() << "parseType2Message name:" << printable_text(name);
    setName(name);

    number = msg[PatchLayout::presetNoOffset];
    qCDebug(lcTrace) << "parseType2Message presetNo:" << number;

    lastOutOfRange = outOfRange(message);
    for (int i = 0; i < ControlTable::count; ++i) {
        if (MidiControlModel *model = table.at(i))
            model->updateModel(msg, PatchLayout::length);
        else
            qCDebug(lcTrace) << "control null";
    }
    return true;
}

QList<OutOfRangeValue> Patch::outOfRange(const QByteArray &message) const
{
    QList<OutOfRangeValue> found;
    for (int i = 0; i < ControlTable::count; ++i) {
        for (ControlParameter p : table.at(i)->parameters()) {
            if (p.address() >= unsigned(message.size()))
                continue;
            const auto stored = static_cast<unsigned char>(message.at(int(p.address())));
            if (stored >= p.min() && stored <= p.max())
                continue;
            p.setValue(stored);
            found.append({i, ParameterId(p.id()), stored, p.value()});
        }
    }
    return found;
}

QString preset_out_of_range_text(int presetNo)
{
    if (presetNo >= 0 && presetNo <= PatchLayout::highestPresetNo)
        return QString();
    return QStringLiteral("preset number %1 is outside 0..%2")
        .arg(presetNo)
        .arg(PatchLayout::highestPresetNo);
}

QString out_of_range_text(const QList<OutOfRangeValue> &values)
{
    if (values.isEmpty())
        return QString();
    const OutOfRangeValue &first = values.constFirst();
    const QString example = QStringLiteral("%1 %2 %3 \u2192 %4")
                                .arg(ControlNames::name(first.control),
                                     ParameterText::caption(first.id))
                                .arg(first.stored)
                                .arg(first.value);
    return (values.size() == 1
                ? QStringLiteral("1 value was out of range and was brought into range (%1)")
                : QStringLiteral("%1 values were out of range and were brought into range (%2)")
                      .arg(values.size()))
        .arg(example);
}

PatchFileFault Patch::load(const QString &path)
{
    QByteArray data;
    const PatchFileFault fault = read_patch_file(path, &data);
    if (fault != PatchFileFault::None)
        return fault;
    // read_patch_file has checked the frame that apply checks again.
    return apply(data) ? PatchFileFault::None : PatchFileFault::NotPatch;
}

bool Patch::save(const QString &path) const
{
    return write_patch_file(path, toType1());
}
