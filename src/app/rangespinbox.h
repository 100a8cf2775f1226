#pragma once

#include <QRegularExpression>
#include <QSpinBox>

#include <optional>

// A spin box that takes a typed number past its maximum as the maximum: "200" in a box of
// 0..127 gives 127, where a plain spin box refuses the third digit and is left at 20. The
// number is taken when the edit is finished (Enter or leaving the box), as typing is otherwise.
class RangeSpinBox : public QSpinBox
{
    Q_OBJECT

public:
    using QSpinBox::QSpinBox;

    QValidator::State validate(QString &text, int &pos) const override
    {
        const QValidator::State state = QSpinBox::validate(text, pos);
        if (state != QValidator::Invalid)
            return state;
        const std::optional<int> number = typedNumber(text);
        return number && *number > maximum() ? QValidator::Intermediate : state;
    }

    void fixup(QString &text) const override
    {
        const std::optional<int> number = typedNumber(text);
        if (number && *number > maximum()) {
            text = textFromValue(maximum());
            // fixup is const only because the validator that calls it is.
            emit const_cast<RangeSpinBox *>(this)->tookMaximumFor(*number);
        } else {
            QSpinBox::fixup(text);
        }
    }

signals:
    // A typed number past the maximum was taken as the maximum.
    void tookMaximumFor(int typed);

private:
    // The digits typed between prefix and suffix as a number; nothing for other text.
    std::optional<int> typedNumber(const QString &text) const
    {
        QString digits = text;
        if (digits.startsWith(prefix()))
            digits.remove(0, prefix().size());
        if (digits.endsWith(suffix()))
            digits.chop(suffix().size());
        digits = digits.trimmed();
        // Ten digits and more could overflow an int; they stay refused.
        static const QRegularExpression number(QStringLiteral("^[0-9]{1,9}$"));
        if (!number.match(digits).hasMatch())
            return std::nullopt;
        return digits.toInt();
    }
};
