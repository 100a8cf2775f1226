#include "patchcheck.h"

#include "controlnames.h"
#include "controltable.h"

#include <QCoreApplication>
#include <QMap>

#include <tuple>

namespace {

// A message a control sends: a note or a controller on a channel (16: the global one).
struct Send
{
    int control;
    QString name; // the X-Y pad's axes are named apart: "XY X", "XY Y"
    bool note;
    int number;
    int channel;
};

int valueOf(const MidiControlModel &model, ParameterId id)
{
    unsigned char value = 0;
    return model.getValue(id, &value) ? value : -1;
}

QList<Send> sends(const ControlTable &table)
{
    QList<Send> list;
    for (int i = 0; i < ControlTable::count; ++i) {
        const MidiControlModel &model = *table.at(i);
        const QString name = ControlNames::name(i);
        const int channel = valueOf(model, Channel);
        const int type = valueOf(model, Type);
        if (type >= 0 && valueOf(model, NoteOrCC) >= 0)
            list << Send{i, name, type == 0, valueOf(model, NoteOrCC), channel};
        if (valueOf(model, CC) >= 0)
            list << Send{i, name, false, valueOf(model, CC), channel};
        if (valueOf(model, CCX) >= 0)
            list << Send{i, name + QStringLiteral(" X"), false, valueOf(model, CCX), channel};
        if (valueOf(model, CCY) >= 0)
            list << Send{i, name + QStringLiteral(" Y"), false, valueOf(model, CCY), channel};
    }
    return list;
}

// The tr() of the findings' texts.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(PatchCheck)
};

QString messageText(const Send &send)
{
    return (send.note ? Texts::tr("Note %1") : Texts::tr("CC %1")).arg(send.number);
}

QString channelText(int channel)
{
    return channel < 16 ? Texts::tr("Ch %1").arg(channel + 1) : Texts::tr("the global channel");
}

// "PAD3 and F6 both send Note 60 on Ch 10", "S1, S2 and S3 all send CC 7 on Ch 1".
QString sharedText(const QList<Send> &group)
{
    QStringList names;
    for (const Send &send : group)
        names << send.name;
    const QString last = names.takeLast();
    return (group.size() == 2 ? Texts::tr("%1 and %2 both send %3 on %4")
                              : Texts::tr("%1 and %2 all send %3 on %4"))
        .arg(names.join(QStringLiteral(", ")), last, messageText(group.first()),
             channelText(group.first().channel));
}

QList<int> controlsOf(const QList<Send> &group)
{
    QList<int> controls;
    for (const Send &send : group) {
        if (!controls.contains(send.control))
            controls << send.control;
    }
    return controls;
}

} // namespace

QList<PatchCheck::Finding> PatchCheck::run(const ControlTable &table)
{
    const QList<Send> all = sends(table);
    // The groups in the order of their first send, which is control order.
    using Key = std::tuple<bool, int, int>;
    QList<Key> order;
    QMap<Key, QList<Send>> groups;
    for (const Send &send : all) {
        const Key key{send.note, send.number, send.channel};
        if (!groups.contains(key))
            order << key;
        groups[key] << send;
    }
    QList<Finding> findings;
    for (const Key &key : qAsConst(order)) {
        const QList<Send> &group = groups[key];
        if (group.size() > 1)
            findings << Finding{controlsOf(group), sharedText(group)};
    }
    for (const Send &send : all) {
        const QString use = send.note ? QString() : reservedFor(send.number);
        if (!use.isEmpty())
            findings << Finding{{send.control},
                                Texts::tr("%1 sends CC %2, which DAWs and synths reserve for %3")
                                    .arg(send.name)
                                    .arg(send.number)
                                    .arg(use)};
    }
    return findings;
}

QStringList PatchCheck::reasonsFor(const QList<Finding> &findings, int control)
{
    QStringList reasons;
    for (const Finding &finding : findings) {
        if (finding.controls.contains(control))
            reasons << finding.reason;
    }
    return reasons;
}

QString PatchCheck::reservedFor(int controller)
{
    switch (controller) {
    case 0:
    case 32:
        return Texts::tr("bank select");
    case 6:
    case 38:
    case 98:
    case 99:
    case 100:
    case 101:
        return Texts::tr("parameter numbers (RPN and NRPN)");
    default:
        return controller >= 120 && controller <= 127 ? Texts::tr("channel mode messages")
                                                      : QString();
    }
}
