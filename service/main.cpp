// zorvel-service: runs the reference time-logging service on 127.0.0.1 until
// it is stopped, or adds an account to its database and exits.
#include "TimeLoggingService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// The request log belongs on stderr whatever Qt would pick (the journal when
// stderr is not a terminal), so that scripts can capture it.
void writeToStderr(QtMsgType, const QMessageLogContext &, const QString &message)
{
    const QByteArray line = message.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, line.size(), stderr);
    std::fflush(stderr);
}

int fail(const QString &message)
{
    std::fprintf(stderr, "zorvel-service: %s\n", qUtf8Printable(message));
    return 2;
}

std::optional<qint64> readNumber(const QString &text, qint64 min, qint64 max)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"zorvel-service"_s);
    QCoreApplication::setApplicationVersion(u"1.0"_s);
    qInstallMessageHandler(writeToStderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"The reference time-logging service: OAuth token endpoint and the types and activities API, "
        "on 127.0.0.1, with its data in SQLite. An empty database gets the demo account %1 / %2."_s.arg(
            TimeLoggingService::demoEmail, TimeLoggingService::demoPassword));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(u"port"_s, u"Port on 127.0.0.1 (0 picks a free one; default 8765)."_s, u"N"_s,
                                        u"8765"_s);
    const QString defaultDatabase
        = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/zorvel-service/service.sqlite"_s;
    const QCommandLineOption databaseOption(
        u"database"_s, u"SQLite file, or :memory: (default %1)."_s.arg(defaultDatabase), u"PATH"_s, defaultDatabase);
    const QCommandLineOption lifetimeOption(u"token-lifetime"_s, u"Lifetime of access tokens (default 3600)."_s,
                                            u"SECONDS"_s, u"3600"_s);
    const QCommandLineOption certOption(u"tls-cert"_s, u"PEM certificate: serve HTTPS (needs --tls-key)."_s, u"FILE"_s);
    const QCommandLineOption keyOption(u"tls-key"_s, u"PEM private key of --tls-cert."_s, u"FILE"_s);
    const QCommandLineOption hooksOption(u"test-hooks"_s,
                                         u"Enable the __test/ routes (failures, token expiry, request log)."_s);
    const QCommandLineOption addUserOption(
        u"add-user"_s,
        u"Add the account EMAIL with the password given as the first positional argument to the database, "
        "then exit (zorvel-service --database FILE --add-user EMAIL PASSWORD)."_s,
        u"EMAIL"_s);
    parser.addOptions({portOption, databaseOption, lifetimeOption, certOption, keyOption, hooksOption, addUserOption});
    parser.addPositionalArgument(u"PASSWORD"_s, u"The password of --add-user."_s, u"[PASSWORD]"_s);
    parser.process(app);

    ServiceOptions options;
    const std::optional<qint64> port = readNumber(parser.value(portOption), 0, 65535);
    if (!port)
        return fail(u"--port needs a number from 0 to 65535, not \"%1\""_s.arg(parser.value(portOption)));
    options.port = static_cast<quint16>(*port);
    options.databasePath = parser.value(databaseOption);
    if (options.databasePath.isEmpty())
        return fail(u"--database needs a path or :memory:"_s);
    if (options.databasePath != ":memory:"_L1) {
        const QString folder = QFileInfo(options.databasePath).absolutePath();
        if (!QDir().mkpath(folder))
            return fail(u"cannot create the folder %1"_s.arg(folder));
    }
    const std::optional<qint64> lifetime = readNumber(parser.value(lifetimeOption), 1, 10 * 365 * 24 * 3600);
    if (!lifetime)
        return fail(
            u"--token-lifetime needs a positive number of seconds, not \"%1\""_s.arg(parser.value(lifetimeOption)));
    options.tokenLifetimeSeconds = static_cast<int>(*lifetime);
    options.tlsCertificateFile = parser.value(certOption);
    options.tlsKeyFile = parser.value(keyOption);
    if (options.tlsCertificateFile.isEmpty() != options.tlsKeyFile.isEmpty())
        return fail(u"--tls-cert and --tls-key go together"_s);
    options.testHooks = parser.isSet(hooksOption);

    const QStringList positional = parser.positionalArguments();
    TimeLoggingService service(options);
    QString error;

    if (parser.isSet(addUserOption)) {
        if (positional.size() != 1)
            return fail(u"--add-user EMAIL needs exactly one PASSWORD after it"_s);
        if (!service.addUser(parser.value(addUserOption), positional.first(), &error))
            return fail(error);
        std::printf("added %s\n", qUtf8Printable(parser.value(addUserOption)));
        return 0;
    }
    if (!positional.isEmpty())
        return fail(u"unexpected argument \"%1\" (see --help)"_s.arg(positional.first()));

    if (!service.start(&error))
        return fail(error);

    // SIGINT and SIGTERM end the event loop, so that SQLite closes the file cleanly.
    if (::pipe(signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }

    std::printf("listening on %s\n", qUtf8Printable(service.baseUrl()));
    std::fflush(stdout);
    return app.exec();
}
