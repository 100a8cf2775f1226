#pragma once

#include <QObject>

// Installed on the device view's scene; passes every event on unchanged. It is the place to
// watch the scene's events while debugging.
class EventFilter : public QObject
{
public:
    EventFilter() = default;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
