#include "numberingdialog.h"

#include "controlsummary.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

NumberingDialog::NumberingDialog(const ControlTable &table, QList<int> controls, QWidget *parent)
    : QDialog(parent)
    , table(table)
    , controls(std::move(controls))
{
    setWindowTitle(tr("Number Selected Controls"));

    start = new QLineEdit(QStringLiteral("36"), this);
    start->setObjectName(QStringLiteral("lineEditStart"));
    start->setToolTip(tr("A note or controller number (0 to 127) or a note name such as C1"));
    step = new QSpinBox(this);
    step->setObjectName(QStringLiteral("spinStep"));
    step->setRange(-127, 127);
    step->setValue(1);
    order = new QComboBox(this);
    order->setObjectName(QStringLiteral("comboBoxOrder"));
    // In the order of Numbering::Order.
    order->addItems({tr("Selection order"), tr("Rows left to right, from the top"),
                     tr("Rows left to right, from the bottom")});
    problem = new QLabel(this);
    problem->setObjectName(QStringLiteral("labelProblem"));
    problem->setWordWrap(true);
    problem->setStyleSheet(QStringLiteral("color: #b00020"));

    auto *form = new QFormLayout;
    form->addRow(tr("&Start:"), start);
    form->addRow(tr("S&tep:"), step);
    form->addRow(tr("&Order:"), order);

    // The room for the longest refusal is kept from the start, so that nothing above it moves
    // or shrinks when one shows.
    const QFontMetrics metrics = problem->fontMetrics();
    const int width = std::max(form->sizeHint().width(), metrics.averageCharWidth() * 40);
    int height = 0;
    const QStringList refusals = Numbering::longestProblems() << badStart();
    for (const QString &text : refusals)
        height = std::max(
            height, metrics.boundingRect(QRect(0, 0, width, 0), Qt::TextWordWrap, text).height());
    problem->setMinimumWidth(width);
    problem->setFixedHeight(height);
    QSizePolicy policy = problem->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    problem->setSizePolicy(policy);
    problem->hide();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &NumberingDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &NumberingDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem);
    layout->addWidget(buttons);
}

QString NumberingDialog::badStart()
{
    return tr("The start must be a number from 0 to 127 or a note name such as C1.");
}

void NumberingDialog::accept()
{
    const std::optional<int> first = ControlSummary::parseNote(start->text());
    Numbering::Plan plan;
    if (!first)
        plan.problem = badStart();
    else
        plan = Numbering::plan(table, controls, *first, step->value(),
                               static_cast<Numbering::Order>(order->currentIndex()));
    if (!plan.problem.isEmpty()) {
        problem->setText(plan.problem);
        problem->show();
        return;
    }
    accepted = plan;
    QDialog::accept();
}
