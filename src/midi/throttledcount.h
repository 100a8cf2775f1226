#pragma once

#include "miditrace.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QString>

#include <algorithm>

// Counts a repeating event and traces the count at most once a second, so that a flood from
// the device cannot flood the trace: "ignored 1532 non-SysEx messages". The first event is
// traced at once. Used on one thread only.
class ThrottledCount
{
public:
    static constexpr qint64 intervalMs = 1000;

    // many holds %1 for the count; one, when given, is traced for a count of 1.
    explicit ThrottledCount(QString many, QString one = QString())
        : m_many(std::move(many))
        , m_one(std::move(one))
    {
    }

    // Adds n to the count; traces it when the last trace is a second old (or there was none).
    void add(quint64 n = 1)
    {
        m_pending += n;
        if (!m_lastTrace.isValid() || m_lastTrace.elapsed() >= intervalMs)
            flush();
    }

    // Traces what was counted since the last trace, if a second has passed since it. Called when
    // nothing else happens, so that the end of a flood is traced too.
    void flushDue()
    {
        if (m_pending != 0 && (!m_lastTrace.isValid() || m_lastTrace.elapsed() >= intervalMs))
            flush();
    }

    // Counted but not traced yet.
    quint64 pending() const { return m_pending; }

    // How long, in ms, until what was counted is due to be traced; -1 when nothing waits. A
    // thread that sleeps until its next event wakes by then, so that a flood's end is traced.
    qint64 msUntilDue() const
    {
        if (m_pending == 0)
            return -1;
        if (!m_lastTrace.isValid())
            return 0;
        return std::max<qint64>(0, intervalMs - m_lastTrace.elapsed());
    }

private:
    void flush()
    {
        qCDebug(lcMidiTrace).noquote()
            << (m_pending == 1 && !m_one.isEmpty() ? m_one : m_many.arg(m_pending));
        m_pending = 0;
        m_lastTrace.start();
    }

    QString m_many;
    QString m_one;
    quint64 m_pending = 0;
    QElapsedTimer m_lastTrace;
};
