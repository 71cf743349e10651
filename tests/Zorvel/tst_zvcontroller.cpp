// The screen base: its view built once on demand, the loading overlay's frames,
// its single instance and its shield over the controls; ZVBackgroundView's paint.
#include "Geometry.h"
#include "PushButton.h"
#include "TextView.h"
#include "ZVBackgroundView.h"
#include "ZVController.h"

#include <QSignalSpy>
#include <QTest>

char *toString(const Rect &rect)
{
    return qstrdup(rect.toString().toUtf8().constData());
}

namespace {
class CountingController final : public ZVController
{
public:
    using ZVController::ZVController;
    int loads = 0;
    QPointer<PushButton> button;

protected:
    void zvViewDidLoad() override
    {
        ++loads;
        button = new PushButton(view());
        button->setTitle(QStringLiteral("Press"));
        Geometry::setFrame(button, Rect {60, 219, 200, 30});
    }
};

int overlayCount(QWidget *view)
{
    return view->findChildren<QWidget *>(QStringLiteral("loadingView")).size();
}
} // namespace

class tst_ZVController : public QObject
{
    Q_OBJECT
private slots:
    void viewIsBuiltOnceOnFirstRequest();
    void overlayFrames();
    void overlayIsSingleAndLeavesNoTrace();
    void overlayShieldsCoveredControls();
    void backgroundViewLeavesTopUnpainted();
};

void tst_ZVController::viewIsBuiltOnceOnFirstRequest()
{
    CountingController controller(Rect {0, 0, 320, 399});
    QCOMPARE(controller.loads, 0);
    QVERIFY(!controller.isViewLoaded());
    QWidget *view = controller.view();
    QCOMPARE(controller.view(), view);
    QCOMPARE(controller.loads, 1);
    QCOMPARE(view->size(), QSize(320, 399));
    QCOMPARE(view->minimumSize(), view->maximumSize());

    // A parent that deletes the view leaves the controller without a dangling one.
    {
        QWidget parent;
        view->setParent(&parent);
    }
    QVERIFY(!controller.isViewLoaded());
}

void tst_ZVController::overlayFrames()
{
    CountingController controller(Rect {0, 0, 320, 399});
    controller.showLoading();
    QWidget *overlay = controller.loadingView();
    QVERIFY(overlay);
    QCOMPARE(overlay->parentWidget(), controller.view());
    QCOMPARE(Geometry::frame(overlay), (Rect {0, 0, 320, 399}));
    auto *label = overlay->findChild<TextView *>(QStringLiteral("loadingLabel"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Loading..."));
    QCOMPARE(Geometry::frame(label), (Rect {100, 209.5, 120, 20}));
    // Above every other control of the screen.
    QCOMPARE(controller.view()->children().last(), overlay);
    QCOMPARE(overlay->palette().color(QPalette::Window), QColor::fromRgbF(0.7f, 0.7f, 0.7f, 0.4f));
}

void tst_ZVController::overlayIsSingleAndLeavesNoTrace()
{
    CountingController controller(Rect {0, 0, 320, 399});
    QWidget *view = controller.view();
    const QObjectList before = view->children();

    controller.hideLoading(); // nothing to hide
    QCOMPARE(view->children(), before);

    controller.showLoading();
    controller.showLoading();
    QCOMPARE(overlayCount(view), 1);
    QCOMPARE(view->children().size(), before.size() + 1);

    controller.hideLoading();
    QVERIFY(!controller.loadingView());
    QCOMPARE(view->children(), before);
}

void tst_ZVController::overlayShieldsCoveredControls()
{
    CountingController controller(Rect {0, 0, 320, 399});
    QWidget *view = controller.view();
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
    QSignalSpy clicks(controller.button, &QPushButton::clicked);
    QWindow *window = view->windowHandle();
    const QPoint onButton = controller.button->geometry().center();

    controller.button->setFocus();
    controller.showLoading();
    // Through the window, so that the click lands on whatever lies on top there.
    QTest::mouseClick(window, Qt::LeftButton, {}, onButton);
    QTest::keyClick(window, Qt::Key_Space);
    QTest::keyClick(window, Qt::Key_Return);
    QTest::keyClick(window, Qt::Key_Tab);
    QCOMPARE(clicks.count(), 0);
    QVERIFY(!controller.button->hasFocus());

    controller.hideLoading();
    QVERIFY(controller.button->hasFocus());
    QTest::mouseClick(window, Qt::LeftButton, {}, onButton);
    QCOMPARE(clicks.count(), 1);
}

void tst_ZVController::backgroundViewLeavesTopUnpainted()
{
    ZVBackgroundView view;
    view.resize(50, 100);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image, {}, {}, QWidget::DrawChildren);

    const QRgb window = view.palette().color(QPalette::Window).rgba();
    // Top-left rows 0..19 are bottom-left y 80..100.
    for (int row : {0, 19})
        QCOMPARE(qAlpha(image.pixel(25, row)), 0);
    for (int row : {20, 60, 99})
        QCOMPARE(image.pixel(25, row), window);
}

QTEST_MAIN(tst_ZVController)
#include "tst_zvcontroller.moc"
