#pragma once

#include "numberingplan.h"

#include <QDialog>

class ControlTable;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// Asks for the start, step and order of numbering the selected controls. It accepts only a
// plan that can be applied whole; otherwise it says why and stays open.
class NumberingDialog : public QDialog
{
    Q_OBJECT

public:
    NumberingDialog(const ControlTable &table, QList<int> controls, QWidget *parent = nullptr);

    // What to set, once the dialog has been accepted.
    const Numbering::Plan &plan() const { return accepted; }

    void accept() override;

private:
    static QString badStart();

    const ControlTable &table;
    QList<int> controls;
    QLineEdit *start = nullptr;
    QSpinBox *step = nullptr;
    QComboBox *order = nullptr;
    QLabel *problem = nullptr;
    Numbering::Plan accepted;
};
