// The floor for bench_cli: a Qt Core program that starts and exits at once.
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return 0;
}
