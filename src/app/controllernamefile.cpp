#include "controllernamefile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

QString findControllerNameFile()
{
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/')
        + controllerNameFileName;
    if (QFileInfo(beside).isFile())
        return beside;
    return QStandardPaths::locateAll(QStandardPaths::AppDataLocation, controllerNameFileName)
        .value(0);
}

QStringList controllerNameFolders()
{
    return QStringList(QCoreApplication::applicationDirPath())
        + QStandardPaths::standardLocations(QStandardPaths::AppDataLocation);
}
