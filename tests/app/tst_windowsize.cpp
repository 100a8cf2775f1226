#include "../common/simulateddevice.h"
#include "../common/viewinput.h"
#include "editorsettings.h"
#include "frontpanel.h"
#include "mainwindow.h"
#include "selection.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

// The window grows, shrinks and is maximised; the picture scales with it keeping its aspect
// ratio and its controls where clicks find them, the pane keeps its natural width, and the
// window's size is remembered.
namespace {

QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
        + QStringLiteral("/vellichord-editor.ini");
}

FrontPanel *panelOf(const MainWindow &window)
{
    return window.frontPanel();
}

QWidget *paneOf(const MainWindow &window)
{
    return window.findChild<QWidget *>(QStringLiteral("widgetRightPane"));
}

// Panel pixels per picture pixel, the same across and down.
qreal pictureScale(const MainWindow &window)
{
    const QTransform transform = panelOf(window)->transform();
    return transform.m11() == transform.m22() ? transform.m11() : -1;
}

// Where the picture lies in the panel's viewport.
QRectF drawnPicture(const MainWindow &window)
{
    return panelOf(window)->viewportTransform().mapRect(QRectF(0, 0, panelWidth, panelHeight));
}

// The resolution the picture on the panel was painted at, in pixels per picture pixel.
qreal paintedRatio(const MainWindow &window)
{
    for (const QGraphicsItem *item : panelOf(window)->scene()->items()) {
        if (const auto *picture = dynamic_cast<const QGraphicsPixmapItem *>(item))
            return picture->pixmap().devicePixelRatio();
    }
    return 0;
}

bool resizeTo(MainWindow &window, const QSize &size)
{
    window.resize(size);
    return QTest::qWaitFor([&] { return window.size() == size; });
}

} // namespace

class TestWindowSize : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void clickAtAControlsDrawnCentreSelectsIt_data();
    void clickAtAControlsDrawnCentreSelectsIt();
    void extraRoomGoesToThePicture_data();
    void extraRoomGoesToThePicture();
    void minimumSizeFitsASmallScreen();
    void firstStartFitsTheScreen();
    void sizeAndMaximisedAreRemembered_data();
    void sizeAndMaximisedAreRemembered();

private:
    // A window at its natural size, shown, kept for the tests that only resize it.
    MainWindow *sharedWindow();

    QTemporaryDir workDir;
    std::unique_ptr<MainWindow> shared;
    QSize natural;
};

void TestWindowSize::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path()));
}

void TestWindowSize::init()
{
    QFile::remove(settingsPath());
}

void TestWindowSize::cleanupTestCase()
{
    shared.reset();
}

MainWindow *TestWindowSize::sharedWindow()
{
    if (!shared) {
        shared = std::make_unique<MainWindow>(noDevice());
        natural = shared->sizeHint();
        shared->show();
        if (!QTest::qWaitForWindowExposed(shared.get()))
            return nullptr;
    }
    return shared.get();
}

void TestWindowSize::clickAtAControlsDrawnCentreSelectsIt_data()
{
    QTest::addColumn<double>("factor"); // of the window's natural size
    QTest::addColumn<int>("control");

    for (double factor : {0.8, 1.5, 2.0}) {
        for (int control = 0; control < 64; ++control)
            QTest::addRow("x%.1f, control %d", factor, control) << factor << control;
    }
}

void TestWindowSize::clickAtAControlsDrawnCentreSelectsIt()
{
    QFETCH(double, factor);
    QFETCH(int, control);

    MainWindow *window = sharedWindow();
    QVERIFY(window);
    const QSize size = (QSizeF(natural) * factor).toSize();
    if (window->size() != size)
        QVERIFY(resizeTo(*window, size));
    // The picture is drawn smaller or larger than 1:1.
    const qreal scale = pictureScale(*window);
    QVERIFY2(factor < 1 ? scale > 0 && scale < 0.95 : scale > factor * 0.95,
             qPrintable(QString::number(scale)));

    const QPoint drawnCentre = panelOf(*window)->mapFromScene(viewinput::centreOf(control));
    QVERIFY(panelOf(*window)->viewport()->rect().contains(drawnCentre));
    QTest::mouseClick(panelOf(*window)->viewport(), Qt::LeftButton, Qt::NoModifier, drawnCentre);
    QCOMPARE(window->selection()->indices(), QList<int>{control});
}

void TestWindowSize::extraRoomGoesToThePicture_data()
{
    QTest::addColumn<QSize>("extra");
    QTest::addColumn<double>("paintedAt"); // the resolution of the picture drawn then

    QTest::newRow("wider") << QSize(400, 0) << 1.0;
    QTest::newRow("taller") << QSize(0, 300) << 1.0;
    QTest::newRow("both, as a 1920 x 1080 screen") << QSize(1920, 1080) - natural << 2.0;
    QTest::newRow("narrower") << QSize(-200, 0) << 1.0;
    QTest::newRow("lower") << QSize(0, -100) << 1.0;
}

void TestWindowSize::extraRoomGoesToThePicture()
{
    QFETCH(QSize, extra);
    QFETCH(double, paintedAt);

    MainWindow *window = sharedWindow();
    QVERIFY(window);
    QVERIFY(resizeTo(*window, natural));
    const int paneWidth = paneOf(*window)->width();
    const QSize panelSize = panelOf(*window)->size();

    QVERIFY(resizeTo(*window, natural + extra));
    QCOMPARE(paneOf(*window)->width(), paneWidth);
    QCOMPARE(panelOf(*window)->size(), panelSize + extra);
    // The picture as large as the panel holds, its aspect ratio kept: inside the viewport, it
    // meets two of its opposite edges.
    const QRectF viewport = panelOf(*window)->viewport()->rect();
    const QRectF picture = drawnPicture(*window);
    QVERIFY(pictureScale(*window) > 0);
    QVERIFY(viewport.adjusted(-1, -1, 1, 1).contains(picture));
    QVERIFY(qAbs(picture.width() - viewport.width()) <= 1
            || qAbs(picture.height() - viewport.height()) <= 1);
    // Drawn larger than 1:1, the picture painted at twice the size stays sharp.
    QCOMPARE(paintedRatio(*window), paintedAt);
}

void TestWindowSize::minimumSizeFitsASmallScreen()
{
    MainWindow *window = sharedWindow();
    QVERIFY(window);
    window->resize(1, 1);
    QTRY_COMPARE(window->size(), window->minimumSize());
    // A 1280 x 800 screen at scale 1.5 is 853 x 533 points; the window's frame, a title bar
    // and a desktop panel take some of them.
    QVERIFY2(window->width() <= 853 - 40 && window->height() <= 533 - 60,
             qPrintable(QStringLiteral("%1 x %2").arg(window->width()).arg(window->height())));
    QVERIFY(pictureScale(*window) >= FrontPanel::minimumScale - 0.01);
    // Every button and the status bar in the window, whole.
    QList<QWidget *> reachable;
    for (QPushButton *button : window->centralWidget()->findChildren<QPushButton *>()) {
        if (button->isVisibleTo(window))
            reachable << button;
    }
    QCOMPARE(reachable.size(), 7);
    reachable << window->statusBar();
    for (QWidget *widget : qAsConst(reachable)) {
        const QRect inWindow(widget->mapTo(window, QPoint(0, 0)), widget->size());
        QVERIFY2(window->rect().contains(inWindow), qPrintable(widget->objectName()));
        QVERIFY2(widget->height() >= widget->minimumSizeHint().height(),
                 qPrintable(widget->objectName()));
    }
}

void TestWindowSize::firstStartFitsTheScreen()
{
    // The offscreen screen is smaller than the window's natural size.
    MainWindow window(noDevice());
    const QRect available = window.screen()->availableGeometry();
    QVERIFY(window.sizeHint().width() > available.width()
            || window.sizeHint().height() > available.height());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.width() <= available.width());
    QVERIFY(window.height() <= available.height());
}

void TestWindowSize::sizeAndMaximisedAreRemembered_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("maximised");

    QTest::newRow("larger than the screen") << QSize(1300, 900) << false;
    QTest::newRow("smaller") << QSize(790, 500) << false;
    QTest::newRow("maximised") << QSize(780, 520) << true;
}

void TestWindowSize::sizeAndMaximisedAreRemembered()
{
    QFETCH(QSize, size);
    QFETCH(bool, maximised);

    {
        MainWindow window(noDevice());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(resizeTo(window, size));
        if (maximised) {
            window.showMaximized();
            QTRY_VERIFY(window.isMaximized());
        }
        QVERIFY(window.close());
    }
    EditorSettings settings(settingsPath());
    QCOMPARE(settings.windowSize(), size);
    QCOMPARE(settings.windowMaximized(), maximised);

    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.isMaximized(), maximised);
    // Maximised, it keeps the size it returns to.
    const QSize shown = maximised ? window.normalGeometry().size() : window.size();
    const QSize screen = window.screen()->availableSize();
    if (size.width() <= screen.width() && size.height() <= screen.height() - 40) {
        QCOMPARE(shown, size);
    } else {
        // Moved to a smaller screen since, the window fits it.
        QCOMPARE(shown.width(), screen.width());
        QVERIFY(shown.height() <= screen.height() && shown.height() > screen.height() - 60);
    }
}

QTEST_MAIN(TestWindowSize)
#include "tst_windowsize.moc"
