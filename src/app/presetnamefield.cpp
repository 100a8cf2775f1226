#include "presetnamefield.h"

#include "patch.h"
#include "patchlayout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QValidator>

#include <functional>
#include <utility>

namespace {

// Keeps of what is typed or pasted into the preset name what the device can store, and tells
// report what it dropped.
class PresetNameValidator : public QValidator
{
public:
    PresetNameValidator(std::function<void(const Patch::NameFit &)> report, QObject *parent)
        : QValidator(parent)
        , report(std::move(report))
    {
    }

    State validate(QString &input, int &pos) const override
    {
        const Patch::NameFit fit = Patch::fitName(input, pos);
        if (!fit.refused.isEmpty() || !fit.cut.isEmpty()) {
            input = fit.text;
            pos = fit.cursor;
            report(fit);
        }
        return Acceptable;
    }

private:
    std::function<void(const Patch::NameFit &)> report;
};

// What the status bar says about characters the name could not take.
QString droppedText(const Patch::NameFit &fit)
{
    if (fit.cut.isEmpty() && fit.refused.toUcs4().size() == 1)
        return PresetNameField::tr(
            "The Vellichord stores only printable ASCII characters in a preset name");
    if (fit.refused.isEmpty() && fit.cut.size() == 1)
        return PresetNameField::tr("A preset name holds at most %1 characters")
            .arg(PatchLayout::nameLength);
    QStringList dropped;
    for (const uint codePoint : fit.refused.toUcs4()) {
        const char32_t ucs4 = codePoint;
        const QString character = QString::fromUcs4(&ucs4, 1);
        // A control character would act on the status bar; it is named by its number.
        dropped << (codePoint < 0x20 || codePoint == 0x7F
                        ? QStringLiteral("U+%1").arg(codePoint, 4, 16, QLatin1Char('0'))
                        : character);
    }
    if (!fit.cut.isEmpty())
        dropped << PresetNameField::tr("\"%1\" past %2 characters")
                       .arg(fit.cut)
                       .arg(PatchLayout::nameLength);
    return PresetNameField::tr("Dropped from the preset name: %1")
        .arg(dropped.join(QStringLiteral(", ")));
}

} // namespace

PresetNameField::PresetNameField(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    field = new QLineEdit(this);
    field->setObjectName(QStringLiteral("lineEditPresetName"));
    field->setPlaceholderText(QStringLiteral("tarvelvellichord"));
    field->setAccessibleName(tr("Preset name"));
    layout->addWidget(field);
    count = new QLabel(this);
    count->setObjectName(QStringLiteral("labelPresetNameCount"));
    count->setToolTip(tr("Characters in the preset name, of the %1 that the Vellichord stores")
                          .arg(PatchLayout::nameLength));
    count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    count->setMinimumWidth(count->fontMetrics().horizontalAdvance(
        QStringLiteral("%1/%1").arg(PatchLayout::nameLength)));
    layout->addWidget(count);

    // The name travels as SysEx data bytes, so only printable ASCII can be typed. The
    // validator, not the field's maximum length, keeps it to 16 characters, so that it sees
    // all of a paste and keeps what fits.
    field->setValidator(new PresetNameValidator(
        [this](const Patch::NameFit &fit) { emit statusMessage(droppedText(fit)); }, field));
    connect(field, &QLineEdit::textChanged, this, [this](const QString &name) {
        showCount();
        emit renamed(name);
    });
    connect(field, &QLineEdit::editingFinished, this, &PresetNameField::editingFinished);
    showCount();
}

void PresetNameField::showName(const QString &name)
{
    // The validator would drop characters of a loaded name that typing could not give.
    const QSignalBlocker blocker(field);
    const QValidator *validator = field->validator();
    field->setValidator(nullptr);
    field->setText(name);
    field->setValidator(validator);
    showCount();
}

QString PresetNameField::name() const
{
    return field->text();
}

void PresetNameField::showCount()
{
    count->setText(QStringLiteral("%1/%2").arg(field->text().size()).arg(PatchLayout::nameLength));
}
