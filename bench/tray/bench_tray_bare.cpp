// The yardstick of the tray benchmarks: the least a Qt tray program does, an
// icon in the tray and a timer that fires every second.
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QPixmap picture(24, 22);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::darkGray);
    painter.drawEllipse(QRectF(4, 3, 16, 16));
    painter.end();

    QSystemTrayIcon icon {QIcon(picture)};
    icon.setToolTip(QStringLiteral("bare tray program"));
    // Wait for a tray as the program does, without polling faster.
    QTimer trayRetry;
    QObject::connect(&trayRetry, &QTimer::timeout, &icon, [&] {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            trayRetry.stop();
            icon.show();
        }
    });
    if (QSystemTrayIcon::isSystemTrayAvailable())
        icon.show();
    else
        trayRetry.start(2000);

    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &app, [&ticks] { ++ticks; });
    tick.start(1000);
    return app.exec();
}
