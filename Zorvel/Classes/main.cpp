// The program's entry point: a tray application without a window of its own,
// which runs until it is told to quit.
#include "AppDelegate.h"
#include "StatusItemView.h"

#include <QApplication>
#include <QTimer>

#ifdef ZORVEL_TEST_BASE_URL
#include "ZVClient.h"
#endif

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The keyring item and the settings are named after these.
    QCoreApplication::setOrganizationDomain(u"zorvel.org"_s);
    QCoreApplication::setApplicationName(u"Zorvel"_s);
    // Closing the panel, the one window, must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
#ifdef ZORVEL_TEST_BASE_URL
    // Only the builds for the end-to-end test and the tray benchmark point elsewhere.
    ZVClient::setBaseURLForTesting(QStringLiteral(ZORVEL_TEST_BASE_URL));
#endif

    AppDelegate delegate;
    app.setProperty(kApplicationDelegateProperty, QVariant::fromValue<QObject *>(&delegate));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationShouldTerminate(); });
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);

    const int status = app.exec();
    app.setProperty(kApplicationDelegateProperty, QVariant());
    return status;
}
