#include "../common/files.h"
#include "patch.h"
#include "patchlayout.h"

#include <QtTest>

Q_DECLARE_METATYPE(PatchFileFault)
using Pokes = QList<QPair<int, int>>; // offset, byte
Q_DECLARE_METATYPE(Pokes)

namespace {

// Sets every parameter of every control to a value of its own, spread over its range.
void fillDistinct(Patch &patch, int seed)
{
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : patch.controls().at(i)->parameters()) {
            const int span = p.max() - p.min() + 1;
            const int value = p.min() + (int(p.address()) * 7 + seed) % span;
            patch.controls().at(i)->updateParameter(p.id(), uchar(value));
        }
    }
}

QByteArray deviceMessage(const Patch &from)
{
    QByteArray message = from.toType1();
    message[PatchLayout::kindOffset] = char(PatchLayout::kindType2);
    return message;
}

} // namespace

class TestPatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void newPatchMessage();
    void everyParameterTravelsAtItsAddress_data();
    void everyParameterTravelsAtItsAddress();
    void valuesOutOfRangeAreClamped();
    void valuesOutOfRangeAreReported_data();
    void valuesOutOfRangeAreReported();
    void xyPadSendsOneChannelOnBothAxes();
    void namesAreCutAndKeptToPrintableAscii_data();
    void namesAreCutAndKeptToPrintableAscii();
    void typedNameKeepsWhatTheDeviceStores_data();
    void typedNameKeepsWhatTheDeviceStores();
    void presetNumberOutOfRangeIsKeptAsStored_data();
    void presetNumberOutOfRangeIsKeptAsStored();
    void whatIsNoPatchChangesNothing_data();
    void whatIsNoPatchChangesNothing();
    void savedFileLoadsBackWithItsPresetNumber();
    void badFilesChangeNothing_data();
    void badFilesChangeNothing();
    void saveThatFailsPartWayKeepsTheOldFile();

private:
    QTemporaryDir workDir;
};

void TestPatch::initTestCase()
{
    QVERIFY(workDir.isValid());
}

void TestPatch::newPatchMessage()
{
    const Patch patch;
    const QByteArray message = patch.toType1();
    QCOMPARE(message.size(), 348);
    QCOMPARE(message.left(11), QByteArray::fromHex("F0000000007F6102510000"));
    QCOMPARE(message.mid(11, 16), QByteArray("tarvelvellichord"));
    QCOMPARE(uchar(message.back()), uchar(0xF7));
    // Every parameter's initial value at its address; maximums start at the top.
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : patch.controls().at(i)->parameters())
            QCOMPARE(uchar(message[int(p.address())]), p.id() >= Max && p.id() <= MaxY ? 127 : 0);
    }
}

void TestPatch::everyParameterTravelsAtItsAddress_data()
{
    QTest::addColumn<int>("seed");
    for (const int seed : {0, 1, 5, 63})
        QTest::addRow("seed %d", seed) << seed;
}

void TestPatch::everyParameterTravelsAtItsAddress()
{
    QFETCH(int, seed);
    Patch from;
    fillDistinct(from, seed);
    from.setName(QStringLiteral("travel"));
    from.setPresetNo(7);

    Patch to;
    QVERIFY(to.apply(deviceMessage(from)));
    QCOMPARE(to.toType1(), from.toType1());
    QCOMPARE(to.name(), QStringLiteral("travel"));
    QCOMPARE(to.presetNo(), 7);
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : from.controls().at(i)->parameters())
            QCOMPARE(to.controls().at(i)->getParameter(ParameterId(p.id()))->value(), p.value());
    }
}

void TestPatch::valuesOutOfRangeAreClamped()
{
    QByteArray message = Patch().toType1();
    for (int offset = PatchLayout::nameOffset + PatchLayout::nameLength;
         offset < int(PatchLayout::endOffset); ++offset)
        message[offset] = char(0x7F);
    Patch patch;
    QVERIFY(patch.apply(message));
    unsigned char value = 0;
    QVERIFY(patch.controls().at(39)->getValue(Colour, &value));
    QCOMPARE(value, 2);
    QVERIFY(patch.controls().at(0)->getValue(Channel, &value));
    QCOMPARE(value, 16);
    QVERIFY(patch.controls().at(6)->getValue(ColourF, &value));
    QCOMPARE(value, 1);
    QVERIFY(patch.controls().at(0)->getValue(CC, &value));
    QCOMPARE(value, 127);
}

void TestPatch::valuesOutOfRangeAreReported_data()
{
    QTest::addColumn<Pokes>("pokes");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");

    const Patch patch;
    const auto at = [&](int control, ParameterId id) {
        return int(patch.controls().at(control)->getParameter(id)->address());
    };
    QTest::newRow("in range at the limits")
        << Pokes{{at(39, Channel), 16}, {at(39, Colour), 2}, {at(16, Max), 127}} << 0 << "";
    QTest::newRow("bytes of no parameter") << Pokes{{int(PatchLayout::nameOffset), 0xE9},
                                                    {int(PatchLayout::presetNoOffset), 25},
                                                    {int(ControlTable::xyPadXChannelAddress), 0x7F}}
                                           << 0 << "";
    QTest::newRow("one") << Pokes{{at(39, Channel), 50}} << 1
                         << "1 value was out of range and was brought into range "
                            "(PAD1 Channel 50 \u2192 16)";
    QTest::newRow("the first in control order is named")
        << Pokes{{at(39, Colour), 9}, {at(0, Channel), 17}} << 2
        << "2 values were out of range and were brought into range (S1 Channel 17 \u2192 16)";
    QTest::newRow("byte with the high bit")
        << Pokes{{at(16, Max), 200}} << 1
        << "1 value was out of range and was brought into range (E1 Max 200 \u2192 127)";
}

void TestPatch::valuesOutOfRangeAreReported()
{
    QFETCH(Pokes, pokes);
    QFETCH(int, count);
    QFETCH(QString, text);
    QByteArray message = Patch().toType1();
    for (const auto &[offset, byte] : pokes)
        message[offset] = char(byte);
    Patch patch;
    const QList<OutOfRangeValue> found = patch.outOfRange(message);
    QCOMPARE(found.size(), count);
    QCOMPARE(out_of_range_text(found), text);

    QVERIFY(patch.apply(message));
    QCOMPARE(patch.broughtIntoRange().size(), count);
    for (const OutOfRangeValue &v : found) {
        unsigned char value = 0;
        QVERIFY(patch.controls().at(v.control)->getValue(v.id, &value));
        QCOMPARE(value, v.value);
        QVERIFY(v.stored != v.value);
    }
    // The next patch has its own.
    QVERIFY(patch.apply(Patch().toType1()));
    QVERIFY(patch.broughtIntoRange().isEmpty());
}

void TestPatch::xyPadSendsOneChannelOnBothAxes()
{
    Patch patch;
    patch.controls().at(ControlTable::xyPadIndex)->updateParameter(Channel, 9);
    const QByteArray message = patch.toType1();
    QCOMPARE(int(message[int(ControlTable::xyPadXChannelAddress)]), 9);
    QCOMPARE(int(message[59]), 9);
}

void TestPatch::namesAreCutAndKeptToPrintableAscii_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("field");

    QTest::newRow("short") << "ab" << QByteArray("ab").leftJustified(16, '\0');
    QTest::newRow("exactly 16") << "abcdefghijklmnop" << QByteArray("abcdefghijklmnop");
    QTest::newRow("longer is cut") << "abcdefghijklmnopq" << QByteArray("abcdefghijklmnop");
    QTest::newRow("not ASCII") << QString::fromUtf8("Gr\xc3\xbc\xc3\x9f\tx")
                               << QByteArray("Gr???x").leftJustified(16, '\0');
    QTest::newRow("ends at NUL") << QString::fromLatin1("ab\0cd", 5)
                                 << QByteArray("ab").leftJustified(16, '\0');
    QTest::newRow("empty") << "" << QByteArray(16, '\0');
}

void TestPatch::namesAreCutAndKeptToPrintableAscii()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, field);
    Patch patch;
    patch.setName(name);
    QCOMPARE(patch.toType1().mid(int(PatchLayout::nameOffset), 16), field);
}

void TestPatch::typedNameKeepsWhatTheDeviceStores_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("keptCursor");
    QTest::addColumn<QString>("refused");
    QTest::addColumn<QString>("cut");

    QTest::newRow("fits") << "Lead ~1" << 7 << "Lead ~1" << 7 << ""
                          << "";
    QTest::newRow("typed accent") << "Cafe\u00e9" << 5 << "Cafe" << 4 << "\u00e9"
                                  << "";
    QTest::newRow("pasted Latin and Cyrillic")
        << "Caf\u00e9 \u041f\u044d\u0434" << 8 << "Caf " << 4 << "\u00e9\u041f\u044d\u0434"
        << "";
    QTest::newRow("tab and a character outside the BMP, cursor after them")
        << "a\tb\U0001F600c" << 6 << "abc" << 3 << "\t\U0001F600"
        << "";
    QTest::newRow("refused after the cursor") << "ab\u00e9" << 1 << "ab" << 1 << "\u00e9"
                                              << "";
    QTest::newRow("typed 17th") << "abcdefghijklmnopq" << 17 << "abcdefghijklmnop" << 16 << ""
                                << "q";
    QTest::newRow("pasted into the middle, past 16")
        << "abcdXYZ12efghijkl" << 9 << "abcdXYZ1efghijkl" << 8 << ""
        << "2";
    QTest::newRow("both") << "abcdefghijklmn\u00e9xyz" << 18 << "abcdefghijklmnxy" << 16 << "\u00e9"
                          << "z";
}

void TestPatch::typedNameKeepsWhatTheDeviceStores()
{
    QFETCH(QString, text);
    QFETCH(int, cursor);
    QFETCH(QString, kept);
    QFETCH(int, keptCursor);
    QFETCH(QString, refused);
    QFETCH(QString, cut);
    const Patch::NameFit fit = Patch::fitName(text, cursor);
    QCOMPARE(fit.text, kept);
    QCOMPARE(fit.cursor, keptCursor);
    QCOMPARE(fit.refused, refused);
    QCOMPARE(fit.cut, cut);
}

void TestPatch::presetNumberOutOfRangeIsKeptAsStored_data()
{
    QTest::addColumn<int>("stored");
    QTest::newRow("highest") << 19;
    QTest::newRow("one past") << 20;
    QTest::newRow("50") << 50;
    QTest::newRow("highest data byte") << 127;
    QTest::newRow("0xFF, only in a file") << 255;
}

void TestPatch::presetNumberOutOfRangeIsKeptAsStored()
{
    QFETCH(int, stored);
    Patch patch;
    patch.setPresetNo(19);
    for (const int number : {20, -1, 127}) {
        patch.setPresetNo(number);
        QCOMPARE(patch.presetNo(), 19);
    }
    Patch from;
    QByteArray message = from.toType1();
    message[PatchLayout::presetNoOffset] = char(stored);
    QVERIFY(patch.apply(message));
    // Neither dropped for the number it had nor turned into another, and written back as it was.
    QCOMPARE(patch.presetNo(), stored);
    QCOMPARE(patch.presetNoInRange(), stored <= 19);
    QCOMPARE(patch.toType1(), message);
    QCOMPARE(preset_out_of_range_text(stored),
             stored <= 19 ? QString()
                          : QStringLiteral("preset number %1 is outside 0..19").arg(stored));
}

void TestPatch::whatIsNoPatchChangesNothing_data()
{
    QTest::addColumn<QByteArray>("message");

    Patch other;
    fillDistinct(other, 3);
    other.setName(QStringLiteral("other"));
    const QByteArray good = deviceMessage(other);

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one byte short") << good.left(347);
    QTest::newRow("one byte over") << good + char(0xF7);
    QByteArray noEnd = good;
    noEnd[347] = 0x00;
    QTest::newRow("no F7 at the end") << noEnd;
    for (const int kind : {int(PatchLayout::kindRequest), 0x60, 0x00}) {
        QByteArray wrongKind = good;
        wrongKind[PatchLayout::kindOffset] = char(kind);
        QTest::addRow("kind %02x", kind) << wrongKind;
    }
    // Another maker's message of the same length and kind byte.
    for (const int offset : {0, 1, 5}) {
        QByteArray foreign = good;
        foreign[offset] = char(0x41);
        QTest::addRow("foreign header, byte %d", offset) << foreign;
    }
}

void TestPatch::whatIsNoPatchChangesNothing()
{
    QFETCH(QByteArray, message);
    Patch patch;
    fillDistinct(patch, 11);
    patch.setPresetNo(4);
    const QByteArray before = patch.toType1();
    QVERIFY(!patch.apply(message));
    QCOMPARE(patch.toType1(), before);
}

void TestPatch::savedFileLoadsBackWithItsPresetNumber()
{
    const QString path = workDir.filePath(QStringLiteral("round.syx"));
    Patch from;
    fillDistinct(from, 2);
    from.setName(QStringLiteral("round"));
    from.setPresetNo(12);
    QVERIFY(from.save(path));
    QCOMPARE(readFile(path), from.toType1());

    Patch to;
    QCOMPARE(to.load(path), PatchFileFault::None);
    QCOMPARE(to.toType1(), from.toType1());
    QCOMPARE(to.presetNo(), 12);

    // A file that the device's answer was saved as loads the same.
    QVERIFY(writeFile(path, deviceMessage(from)));
    Patch fromDevice;
    QCOMPARE(fromDevice.load(path), PatchFileFault::None);
    QCOMPARE(fromDevice.toType1(), from.toType1());
}

void TestPatch::badFilesChangeNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<PatchFileFault>("fault");

    const QByteArray good = Patch().toType1();
    QTest::newRow("missing") << "missing.syx" << QByteArray() << PatchFileFault::CannotRead;
    QTest::newRow("folder") << "folder" << QByteArray() << PatchFileFault::NotRegularFile;
    QTest::newRow("short") << "short.syx" << good.left(347) << PatchFileFault::TooShort;
    QTest::newRow("empty") << "empty.syx" << QByteArray() << PatchFileFault::TooShort;
    QTest::newRow("text") << "text.syx" << QByteArray(348, 'a') << PatchFileFault::NotPatch;
    QByteArray request = good;
    request[PatchLayout::kindOffset] = char(PatchLayout::kindRequest);
    QTest::newRow("request") << "request.syx" << request << PatchFileFault::NotPatch;
    QByteArray foreign = good;
    foreign[1] = char(0x41);
    QTest::newRow("another maker's header") << "foreign.syx" << foreign << PatchFileFault::NotPatch;
}

void TestPatch::badFilesChangeNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    QFETCH(PatchFileFault, fault);
    const QString path = workDir.filePath(name);
    if (name == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (name != QLatin1String("missing.syx"))
        QVERIFY(writeFile(path, contents));

    Patch patch;
    fillDistinct(patch, 5);
    patch.setPresetNo(3);
    const QByteArray before = patch.toType1();
    QCOMPARE(patch.load(path), fault);
    QCOMPARE(patch.toType1(), before);
    QVERIFY(!patch_file_fault_text(fault).isEmpty());
}

void TestPatch::saveThatFailsPartWayKeepsTheOldFile()
{
#ifdef Q_OS_UNIX
    const QString folder = workDir.filePath(QStringLiteral("part-way"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/patch.syx");
    Patch patch;
    patch.setName(QStringLiteral("old"));
    QVERIFY(patch.save(path));
    const QByteArray old = readFile(path);

    patch.setName(QStringLiteral("new"));
    for (const rlim_t room : {rlim_t(0), rlim_t(100), rlim_t(347)}) {
        FileSizeLimit full(room);
        QVERIFY(full.isActive());
        QVERIFY2(!patch.save(path), qPrintable(QString::number(room)));
    }
    QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"patch.syx"});
    QVERIFY(patch.save(path));
    QCOMPARE(readFile(path), patch.toType1());
    QVERIFY(!write_patch_file(path, patch.toType1().left(347)));
    QCOMPARE(readFile(path), patch.toType1());
#else
    QSKIP("needs a file size limit");
#endif
}

QTEST_GUILESS_MAIN(TestPatch)
#include "tst_patch.moc"
