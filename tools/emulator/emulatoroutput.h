#pragma once

#include <QString>
#include <QTextStream>

#include <cstdio>

// The emulator's output: what it does, line by line on stdout, and what goes wrong on stderr.

inline void say(const QString &line)
{
    // Flushed line by line: whoever reads the output through a pipe sees each at once.
    static QTextStream out(stdout);
    out << line << Qt::endl;
}

inline void complain(const QString &line)
{
    std::fprintf(stderr, "vellichord-emulator: %s\n", qPrintable(line));
}
