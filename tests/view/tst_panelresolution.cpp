#include "../common/simulateddevice.h"
#include "../common/viewinput.h"
#include "frontpanel.h"
#include "mainwindow.h"
#include "selection.h"

#include <QtTest>
#include <QtWidgets>

// The panel on a screen with two device pixels per point, as a 4K monitor at scale 2 (set
// before the application starts): it shows the picture painted at twice the size wherever a
// picture pixel covers more than one device pixel, at the picture's size in points.
class TestPanelResolution : public QObject
{
    Q_OBJECT

private slots:
    void pictureFollowsTheDevicePixels_data();
    void pictureFollowsTheDevicePixels();
    void windowIconHasTwiceThePixels_data();
    void windowIconHasTwiceThePixels();
};

void TestPanelResolution::pictureFollowsTheDevicePixels_data()
{
    QTest::addColumn<double>("scale"); // of the picture on the panel
    QTest::addColumn<double>("paintedAt");

    QTest::newRow("half size: one device pixel per picture pixel") << 0.5 << 1.0;
    QTest::newRow("0.8") << 0.8 << 2.0;
    QTest::newRow("1:1") << 1.0 << 2.0;
    QTest::newRow("1.5") << 1.5 << 2.0;
}

void TestPanelResolution::pictureFollowsTheDevicePixels()
{
    QFETCH(double, scale);
    QFETCH(double, paintedAt);

    FrontPanel panel;
    Selection selection;
    panel.setSelection(&selection);
    panel.setFrameShape(QFrame::NoFrame);
    panel.resize(qCeil(panelWidth * scale), qCeil(panelHeight * scale));
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QCOMPARE(panel.devicePixelRatioF(), 2.0);
    QVERIFY(qAbs(panel.transform().m11() - scale) < 0.01);

    const QGraphicsPixmapItem *picture = nullptr;
    for (const QGraphicsItem *item : panel.scene()->items()) {
        if (!picture)
            picture = dynamic_cast<const QGraphicsPixmapItem *>(item);
    }
    QVERIFY(picture);
    QCOMPARE(picture->pixmap().devicePixelRatio(), paintedAt);
    QCOMPARE(picture->pixmap().size(), QSize(panelWidth, panelHeight) * int(paintedAt));
    // The picture covers the same points whichever is shown, so the controls stay on it.
    QCOMPARE(picture->boundingRect(), QRectF(0, 0, panelWidth, panelHeight));
    for (int control : {0, 37, 45, 63}) {
        const QPoint centre = panel.mapFromScene(viewinput::centreOf(control));
        QTest::mouseClick(panel.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QCOMPARE(selection.indices(), QList<int>{control});
    }
}

void TestPanelResolution::windowIconHasTwiceThePixels_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 32, 48, 64, 128, 256})
        QTest::addRow("%d px", size) << size;
}

void TestPanelResolution::windowIconHasTwiceThePixels()
{
    QFETCH(int, size);

    MainWindow window(noDevice());
    const QPixmap shown = window.windowIcon().pixmap(QSize(size, size));
    QCOMPARE(shown.devicePixelRatio(), 2.0);
    QCOMPARE(shown.size(), QSize(size, size) * 2);
}

int main(int argc, char *argv[])
{
    qputenv("QT_SCALE_FACTOR", "2");
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // As the editor sets it.
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    QApplication app(argc, argv);
    TestPanelResolution test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_panelresolution.moc"
