#include "sysextext.h"

#include <QtTest>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

class TestSysexText : public QObject
{
    Q_OBJECT

private slots:
    void fileNameBytesComeBackAsThey_data();
    void fileNameBytesComeBackAsThey();
};

void TestSysexText::fileNameBytesComeBackAsThey_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown"); // printable_text of the name read

    QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9 \xf0\x9f\x8e\xb9") << "café 🎹";
    QTest::newRow("lone byte") << QByteArray("a\xff") << R"(a\xff)";
    QTest::newRow("lead without follower") << QByteArray("\xc3(") << R"(\xc3()";
    QTest::newRow("cut short at the end") << QByteArray("\xe2\x82") << R"(\xe2\x82)";
    QTest::newRow("overlong NUL") << QByteArray("\xc0\x80") << R"(\xc0\x80)";
    QTest::newRow("overlong three bytes") << QByteArray("\xe0\x80\xaf") << R"(\xe0\x80\xaf)";
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xb3\xbf") << R"(\xed\xb3\xbf)";
    QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << R"(\xf4\x90\x80\x80)";
    QTest::newRow("highest code point") << QByteArray("\xf4\x8f\xbf\xbf") << R"(\U0010ffff)";
    QTest::newRow("control and backslash") << QByteArray("\x1b\\") << R"(\x1b\\)";
    QTest::newRow("printable ASCII") << QByteArray(" F0 7F ~") << " F0 7F ~";
    QTest::newRow("ASCII ending in DEL") << QByteArray("~\x7f") << R"(~\x7f)";
    QTest::newRow("ASCII ending in backslash") << QByteArray("a \\") << R"(a \\)";
}

// Any bytes read as a file name are written back as the same bytes, and shown escaped.
void TestSysexText::fileNameBytesComeBackAsThey()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const QString name = decode_file_name(bytes);
    QCOMPARE(encode_file_name(name).toHex(' '), bytes.toHex(' '));
    QCOMPARE(printable_text(name), shown);
    // Only bytes that are not UTF-8 make the name differ from what UTF-8 reads.
    QCOMPARE(has_undecodable_bytes(name), name != QString::fromUtf8(bytes));
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // The codec that Qt 5 names files with does the same.
    QTextCodec *const codec = file_name_codec();
    QCOMPARE(codec->toUnicode(bytes), name);
    QCOMPARE(codec->fromUnicode(name).toHex(' '), bytes.toHex(' '));
#endif
    // A valid name is read as UTF-8 is.
    if (!shown.contains(QLatin1String("\\x")))
        QCOMPARE(name, QString::fromUtf8(bytes));
}

QTEST_APPLESS_MAIN(TestSysexText)
#include "tst_sysextext.moc"
