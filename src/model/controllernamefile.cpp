#include "controllernamefile.h"

#include "trace.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QStringDecoder>
#else
#include <QTextCodec>
#endif

#include <algorithm>

namespace {

// bytes in the system's 8-bit encoding if it reads them back to the same bytes, else Latin-1.
QString eightBitText(const QByteArray &bytes)
{
    const QString text = QString::fromLocal8Bit(bytes);
    return text.toLocal8Bit() == bytes ? text : QString::fromLatin1(bytes);
}

} // namespace

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

namespace {

// A controller number is 0..127, so later lines name nothing.
constexpr int controllerNameLines = 128;
// Characters kept of a line; a longer line's name is cut there and marked with an ellipsis.
constexpr int controllerNameLength = 64;
// UTF-8 needs at most four bytes a character; a line's bytes past these are skipped unread.
constexpr qint64 controllerNameBytes = 4 * controllerNameLength;
// Skipping stops here too, so that no file, however long its lines, holds up the start.
constexpr qint64 controllerFileBytes = qint64(64) << 20;

// Reads the first controllerNameBytes bytes of a line, without its line end, and skips the rest
// of a longer line; cut tells whether bytes were skipped.
QByteArray readLineHead(QFile &file, bool &cut)
{
    QByteArray head = file.readLine(controllerNameBytes + 1); // gives at most n - 1 bytes
    cut = false;
    if (!head.endsWith('\n')) {
        QByteArray rest;
        do {
            rest = file.readLine(64 * 1024);
            cut = cut || (!rest.isEmpty() && rest != "\n" && rest != "\r\n");
        } while (!rest.isEmpty() && !rest.endsWith('\n') && file.pos() < controllerFileBytes);
    }
    if (head.endsWith('\n'))
        head.chop(1);
    if (head.endsWith('\r'))
        head.chop(1);
    return head;
}

} // namespace

std::optional<QStringList> readControllerNames()
{
    QStringList ccNames;
    const QString path = findControllerNameFile();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        // Named by its first place, the one a build folder or a Windows install uses.
        const QString shown = path.isEmpty()
            ? QCoreApplication::applicationDirPath() + QLatin1Char('/') + controllerNameFileName
            : path;
        qWarning().noquote() << "Couldn't find file" << shown;
        qWarning().noquote() << "Looked for" << controllerNameFileName << "in"
                             << controllerNameFolders().join(QStringLiteral(", "));
        return std::nullopt;
    }
    qCDebug(lcTrace).noquote() << "Reading controller names from" << path;
    // Only the head of each of the first lines is read, so a huge file or a huge line costs no
    // more than a proper one. Lines may end in "\r\n" as well as in "\n".
    QList<QByteArray> heads;
    QList<bool> cutLines;
    while (heads.size() < controllerNameLines && !file.atEnd()
           && file.pos() < controllerFileBytes) {
        bool cut = false;
        heads.append(readLineHead(file, cut));
        cutLines.append(cut);
    }
    const qint64 bytesLeftOut = file.atEnd() ? 0 : std::max<qint64>(0, file.size() - file.pos());
    if (!heads.isEmpty() && heads.first().startsWith("\xEF\xBB\xBF"))
        heads.first().remove(0, 3);

    // Names are read as UTF-8 whatever the locale; a file that is not valid UTF-8 was written
    // in the system's own 8-bit encoding, or in Latin-1 where that encoding cannot read it (Qt 6
    // takes the system's encoding to be UTF-8). A character split where a long line was cut is
    // no fault of the file: the decoder keeps it back, unread.
    bool isUtf8 = true;
    QStringList names;
    for (const QByteArray &head : qAsConst(heads)) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        names.append(QString(utf8.decode(head)));
        isUtf8 = isUtf8 && !utf8.hasError();
#else
        QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
        names.append(
            QTextCodec::codecForName("UTF-8")->toUnicode(head.constData(), head.size(), &state));
        isUtf8 = isUtf8 && state.invalidChars == 0;
#endif
    }
    int namesCut = 0;
    for (int line = 0; line < names.size(); ++line) {
        QString name = isUtf8 ? names.at(line) : eightBitText(heads.at(line));
        if (cutLines.at(line) || name.size() > controllerNameLength) {
            // Never between the two halves of a character outside the basic plane.
            int length = std::min<int>(name.size(), controllerNameLength);
            if (length < name.size() && name.at(length).isLowSurrogate())
                --length;
            name = name.left(length) + QChar(0x2026);
            ++namesCut;
        }
        ccNames.append(name);
    }
    if (bytesLeftOut > 0 || namesCut > 0)
        qCDebug(lcTrace).noquote()
            << QStringLiteral("Midi-CC-list.txt: read %1 names; left out %2 bytes after line %1 "
                              "and the characters past %3 of %4 longer lines")
                   .arg(ccNames.size())
                   .arg(bytesLeftOut)
                   .arg(controllerNameLength)
                   .arg(namesCut);
    return ccNames;
}
