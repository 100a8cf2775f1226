#include "midimonitorwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <utility>

MidiMonitorWindow::MidiMonitorWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , rows(new MidiTrafficModel(this))
    , view(new QTableView(this))
    , hideClock(new QCheckBox(tr("Hide Clock and Active Sensing"), this))
    , hideNotes(new QCheckBox(tr("Hide Notes"), this))
    , hideControlChanges(new QCheckBox(tr("Hide CCs"), this))
    , hideSysEx(new QCheckBox(tr("Hide SysEx"), this))
    , pause(new QPushButton(tr("Pause"), this))
{
    setObjectName(QStringLiteral("midiMonitor"));
    setWindowTitle(tr("MIDI Monitor"));
    hideClock->setObjectName(QStringLiteral("hideClock"));
    hideNotes->setObjectName(QStringLiteral("hideNotes"));
    hideControlChanges->setObjectName(QStringLiteral("hideControlChanges"));
    hideSysEx->setObjectName(QStringLiteral("hideSysEx"));
    pause->setObjectName(QStringLiteral("pause"));
    hideClock->setChecked(rows->filters().testFlag(MidiTrafficModel::HideClock));
    pause->setCheckable(true);
    auto *clear = new QPushButton(tr("Clear"), this);
    clear->setObjectName(QStringLiteral("clear"));
    auto *copy = new QPushButton(tr("Copy"), this);
    copy->setObjectName(QStringLiteral("copy"));
    auto *save = new QPushButton(tr("Save as Text\u2026"), this);
    save->setObjectName(QStringLiteral("saveAsText"));

    view->setObjectName(QStringLiteral("monitorTable"));
    view->setModel(rows);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setWordWrap(false);
    view->setAlternatingRowColors(true);
    // Fixed row heights and column widths: a flood of rows costs no measuring.
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    const auto width = [this](const QString &sample) {
        return view->fontMetrics().horizontalAdvance(sample) + 16;
    };
    view->setColumnWidth(MidiTrafficModel::TimeColumn, width(QStringLiteral("00:00:00.000")));
    view->setColumnWidth(MidiTrafficModel::DirectionColumn, width(QStringLiteral("out")));
    view->setColumnWidth(MidiTrafficModel::PortColumn, width(QStringLiteral("Vellichord Updater")));
    view->setColumnWidth(MidiTrafficModel::MessageColumn,
                         width(QStringLiteral("Patch 'MMMMMMMMMMMMMMMM' preset 19 (348 bytes)")));
    view->horizontalHeader()->setStretchLastSection(true);

    auto *filters = new QHBoxLayout;
    for (QCheckBox *box : {hideClock, hideNotes, hideControlChanges, hideSysEx}) {
        filters->addWidget(box);
        connect(box, &QCheckBox::toggled, this, &MidiMonitorWindow::applyFilters);
    }
    filters->addStretch();
    for (QPushButton *button : {pause, clear, copy, save})
        filters->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(view);
    resize(900, 420);

    connect(pause, &QPushButton::toggled, rows, &MidiTrafficModel::setPaused);
    connect(clear, &QPushButton::clicked, rows, &MidiTrafficModel::clear);
    connect(copy, &QPushButton::clicked, this, &MidiMonitorWindow::copySelection);
    connect(save, &QPushButton::clicked, this, &MidiMonitorWindow::askToSave);
    auto *copyKey = new QAction(this);
    copyKey->setShortcut(QKeySequence::Copy);
    copyKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copyKey, &QAction::triggered, this, &MidiMonitorWindow::copySelection);
    addAction(copyKey);

    gatherTimer.setSingleShot(true);
    gatherTimer.setInterval(gatherMs);
    connect(&gatherTimer, &QTimer::timeout, this, &MidiMonitorWindow::flush);
}

void MidiMonitorWindow::showTraffic(const MidiTraffic &batch, const QString &portName)
{
    if (batch.isEmpty())
        return;
    if (!gathered.isEmpty() && gathered.last().first == portName)
        gathered.last().second += batch;
    else
        gathered.append({portName, batch});
    gatheredCount += batch.size();
    // While the window cannot keep up, only the newest rows can still be shown.
    while (gatheredCount > maxGathered && gathered.size() > 1)
        gatheredCount -= gathered.takeFirst().second.size();
    if (gatheredCount > maxGathered) {
        MidiTraffic &only = gathered.first().second;
        only.erase(only.begin(), only.begin() + (gatheredCount - maxGathered));
        gatheredCount = maxGathered;
    }
    if (!gatherTimer.isActive())
        gatherTimer.start();
}

void MidiMonitorWindow::flush()
{
    gatherTimer.stop();
    if (gathered.isEmpty())
        return;
    // The table follows the newest rows while it shows the end; scrolled back, it stays.
    const QScrollBar *bar = view->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    for (const auto &part : std::exchange(gathered, {})) {
        rows->setPortName(part.first);
        rows->append(part.second);
    }
    gatheredCount = 0;
    if (atEnd && isVisible())
        view->scrollToBottom();
}

void MidiMonitorWindow::applyFilters()
{
    MidiTrafficModel::Filters filters;
    filters.setFlag(MidiTrafficModel::HideClock, hideClock->isChecked());
    filters.setFlag(MidiTrafficModel::HideNotes, hideNotes->isChecked());
    filters.setFlag(MidiTrafficModel::HideControlChanges, hideControlChanges->isChecked());
    filters.setFlag(MidiTrafficModel::HideSysEx, hideSysEx->isChecked());
    rows->setFilters(filters);
}

void MidiMonitorWindow::copySelection()
{
    QList<int> chosen;
    for (const QModelIndex &index : view->selectionModel()->selectedRows())
        chosen << index.row();
    if (!chosen.isEmpty())
        QApplication::clipboard()->setText(rows->rowsText(chosen));
}

bool MidiMonitorWindow::saveTo(const QString &path)
{
    QString error;
    if (rows->saveText(path, &error))
        return true;
    QMessageBox::warning(this, windowTitle(),
                         tr("Could not save the monitor's lines to %1: %2").arg(path, error));
    return false;
}

void MidiMonitorWindow::askToSave()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save as Text"), QString(),
                                                      tr("Text files (*.txt);;All files (*)"));
    if (!path.isEmpty())
        saveTo(path);
}

void MidiMonitorWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    view->scrollToBottom();
    emit visibilityChanged(true);
}

void MidiMonitorWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit visibilityChanged(false);
}
