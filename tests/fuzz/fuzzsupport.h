#pragma once

// A harness over code without widgets defines FUZZ_CORE_ONLY first and gets a QCoreApplication.
#ifndef FUZZ_CORE_ONLY
#include <QApplication>
#endif
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QMessageLogContext>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstring>
#include <vector>

// What every harness shares: Qt started once, offscreen, and the program's traces kept quiet.
namespace fuzz {

// A broken property: stops the run where it broke, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "broken property at %s:%d: %s\n", __FILE__, __LINE__,             \
                         #condition);                                                              \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (false)

// The program traces every message it handles; printing that would cost most of the time of a
// run. Its trace category stays off and debug and info lines are dropped unless
// VELLICHORD_FUZZ_TRACE is set (for looking at one input); warnings and worse always go to stderr.
// A fatal message still aborts: Qt does that after the handler.
inline void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    static const bool trace = qEnvironmentVariableIsSet("VELLICHORD_FUZZ_TRACE");
    if (!trace && (type == QtDebugMsg || type == QtInfoMsg))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

// Starts the application object for the harness's whole run; call from LLVMFuzzerInitialize.
// Qt gets an argument list of its own: the fuzzer's options are none of its business.
inline void startQt(const char *program)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(&quietHandler);
    if (qEnvironmentVariableIsSet("VELLICHORD_FUZZ_TRACE"))
        QLoggingCategory::setFilterRules(QStringLiteral("vellichord.debug=true"));
    static QByteArray name(program);
    static char *arguments[] = {name.data(), nullptr};
    static int count = 1;
    // Lives as long as the process.
#ifdef FUZZ_CORE_ONLY
    new QCoreApplication(count, arguments);
#else
    new QApplication(count, arguments);
#endif
}

// For a harness that changes the working directory while an input runs: unless the fuzzer was
// told where to write the input of a crash, it writes it to the directory it was started in,
// not to "./". Call from LLVMFuzzerInitialize, which may change the fuzzer's arguments.
inline void keepArtifactsHere(int *argc, char ***argv)
{
    static std::vector<char *> arguments(*argv, *argv + *argc);
    for (const char *argument : arguments) {
        if (std::strncmp(argument, "-artifact_prefix=", 17) == 0
            || std::strncmp(argument, "-exact_artifact_path=", 21) == 0)
            return;
    }
    static QByteArray prefix = "-artifact_prefix=" + QDir::currentPath().toLocal8Bit() + '/';
    arguments.insert(arguments.begin() + 1, prefix.data());
    arguments.push_back(nullptr);
    *argc = int(arguments.size()) - 1;
    *argv = arguments.data();
}

} // namespace fuzz
