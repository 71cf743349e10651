// Tests of the zorvel-service program: its listening line, its options and their
// refusals, adding an account, and the request log it writes on stderr.
#include "TestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

using namespace Qt::StringLiterals;

class tst_ServiceExecutable : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void servesUntilTerminated();
    void refusesBadOptions_data();
    void refusesBadOptions();
    void addUserAddsAndExits();

private:
    // Starts the program and waits for its listening line; returns the base URL.
    QString startServing(QProcess &process, const QStringList &arguments);
    QString m_program;
};

void tst_ServiceExecutable::initTestCase()
{
    m_program = QCoreApplication::applicationDirPath() + u"/zorvel-service"_s;
    if (!QFileInfo::exists(m_program))
        QSKIP("zorvel-service is not built beside the tests");
}

QString tst_ServiceExecutable::startServing(QProcess &process, const QStringList &arguments)
{
    process.start(m_program, arguments);
    if (!process.waitForStarted(10000))
        return {};
    QByteArray out;
    while (!out.contains('\n') && process.waitForReadyRead(10000))
        out += process.readAllStandardOutput();
    const QRegularExpression line(u"^listening on (http://127\\.0\\.0\\.1:(\\d+)/)\\n$"_s);
    const QRegularExpressionMatch match = line.match(QString::fromUtf8(out));
    if (!match.hasMatch() || match.captured(2).toInt() == 0) {
        qWarning("unexpected output: %s", out.constData());
        return {};
    }
    return match.captured(1);
}

void tst_ServiceExecutable::servesUntilTerminated()
{
    QProcess process;
    const QString baseUrl
        = startServing(process, {u"--port"_s, u"0"_s, u"--database"_s, u":memory:"_s, u"--token-lifetime"_s, u"60"_s});
    QVERIFY(!baseUrl.isEmpty());

    TestHttp http(baseUrl);
    const TestHttpReply grant
        = http.sendRaw("GET", "//oauth/token?grant_type=password&username=demo@zorvel.test&password=demo", {},
                       {TestHttp::basic(u"androidClient"_s, u"wombat"_s)});
    QCOMPARE(grant.status, 200);
    QCOMPARE(grant.object().value("expires_in"_L1).toInt(), 60);
    const QString access = grant.object().value("access_token"_L1).toString();
    QCOMPARE(http.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(access)}).status, 200);
    // No test hooks without the flag.
    QCOMPARE(http.send("GET", u"__test/requests"_s).status, 404);

    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString log = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(log, u"GET //oauth/token 200\nGET /oauth/api/types 200\nGET /__test/requests 404\n"_s);
}

void tst_ServiceExecutable::refusesBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");

    QTest::newRow("port not a number") << QStringList {u"--port"_s, u"http"_s} << u"--port"_s;
    QTest::newRow("port too large") << QStringList {u"--port"_s, u"65536"_s} << u"--port"_s;
    QTest::newRow("lifetime zero") << QStringList {u"--token-lifetime"_s, u"0"_s} << u"--token-lifetime"_s;
    QTest::newRow("certificate without key") << QStringList {u"--tls-cert"_s, u"cert.pem"_s} << u"--tls-key"_s;
    QTest::newRow("missing certificate files") << QStringList {u"--port"_s,     u"0"_s,
                                                               u"--tls-cert"_s, u"/nonexistent/c.pem"_s,
                                                               u"--tls-key"_s,  u"/nonexistent/k.pem"_s}
                                               << u"certificate"_s;
    QTest::newRow("unknown option") << QStringList {u"--verbose"_s} << u"verbose"_s;
    QTest::newRow("add-user without password") << QStringList {u"--add-user"_s, u"a@zorvel.test"_s} << u"PASSWORD"_s;
    QTest::newRow("stray argument") << QStringList {u"--port"_s, u"0"_s, u"extra"_s} << u"extra"_s;
    QTest::newRow("port in use") << QStringList {u"--port"_s, u"%PORT"_s} << u"cannot listen"_s;
}

void tst_ServiceExecutable::refusesBadOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);

    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    arguments.replaceInStrings(u"%PORT"_s, QString::number(taken.serverPort()));
    arguments << u"--database"_s << u":memory:"_s;

    QProcess process;
    process.start(m_program, arguments);
    QVERIFY(process.waitForFinished(10000));
    QVERIFY(process.exitCode() != 0);
    QVERIFY(process.readAllStandardOutput().isEmpty()); // never "listening on …"
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void tst_ServiceExecutable::addUserAddsAndExits()
{
    QTemporaryDir dir;
    const QString database = dir.filePath(u"nested/folder/service.sqlite"_s); // folders are made as needed

    QProcess add;
    add.start(m_program, {u"--database"_s, database, u"--add-user"_s, u"dee@zorvel.test"_s, u"dee pass"_s});
    QVERIFY(add.waitForFinished(20000));
    QCOMPARE(add.exitCode(), 0);
    QCOMPARE(add.readAllStandardOutput(), QByteArray("added dee@zorvel.test\n"));

    QProcess again;
    again.start(m_program, {u"--database"_s, database, u"--add-user"_s, u"dee@zorvel.test"_s, u"other"_s});
    QVERIFY(again.waitForFinished(20000));
    QVERIFY(again.exitCode() != 0);
    QVERIFY(again.readAllStandardError().contains("exists already"));

    QProcess serve;
    const QString baseUrl = startServing(serve, {u"--port"_s, u"0"_s, u"--database"_s, database});
    QVERIFY(!baseUrl.isEmpty());
    TestHttp http(baseUrl);
    QCOMPARE(http.send("GET", u"oauth/token?grant_type=password&username=dee@zorvel.test&password=dee%20pass"_s, {},
                       {TestHttp::basic(u"androidClient"_s, u"wombat"_s)})
                 .status,
             200);
    serve.terminate();
    QVERIFY(serve.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(tst_ServiceExecutable)
#include "tst_ServiceExecutable.moc"
