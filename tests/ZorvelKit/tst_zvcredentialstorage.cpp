// Token and credential storage against both keyring stores (the Secret Service
// of the test session and the owner-only file), and its reports when the keyring fails.
#include "Assertion.h"
#include "FileKeychainBackend.h"
#include "Keychain.h"
#include "SecretServiceKeychainBackend.h"
#include "ZVCredentialStorage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <qplatformdefs.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
const QString kTestUser = u"tst_zvcredentialstorage@zorvel.test"_s;

void useOwnIdentity()
{
    QCoreApplication::setOrganizationDomain(u"zorvel.org"_s);
    QCoreApplication::setApplicationName(u"tst_zvcredentialstorage"_s);
}

ZVTokenPtr makeToken(std::optional<QString> access, std::optional<QString> refresh, std::optional<QDateTime> expiresAt)
{
    auto token = std::make_shared<ZVToken>();
    token->setAccessToken(access);
    token->setRefreshToken(refresh);
    token->setExpiresAt(expiresAt);
    return token;
}

// Collects what reaches the assertion handler while it lives.
class ReportRecorder
{
public:
    struct Report
    {
        QString operation, file, message;
    };
    ReportRecorder()
    {
        m_previous = AssertionHandler::setCurrentHandler(
            [this](const QString &operation, const QString &file, const QString &message) {
                m_reports.append({operation, file, message});
            });
    }
    ~ReportRecorder() { AssertionHandler::setCurrentHandler(m_previous); }
    const QList<Report> &reports() const { return m_reports; }
    QStringList messages() const
    {
        QStringList list;
        for (const Report &report : m_reports)
            list.append(report.message);
        return list;
    }

private:
    QList<Report> m_reports;
    AssertionHandler::Handler m_previous;
};

bool noItemOfService(const QString &service)
{
    KeychainItemRef item;
    return Keychain::findGenericPassword(service, &item) == KeychainStatus::ItemNotFound;
}
} // namespace

Q_DECLARE_METATYPE(ZVTokenPtr)

// Every behaviour runs once per store: the global table below.
class TestTokenStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<QString>("store");
        QTest::newRow("file") << u"file"_s;
        QTest::newRow("secret-service") << u"secret-service"_s;
    }

    void init()
    {
        QFETCH_GLOBAL(QString, store);
        if (store == "file"_L1) {
            QVERIFY(m_dir.isValid());
            Keychain::setBackendForTesting(
                std::make_shared<FileKeychainBackend>(m_dir.filePath(u"zorvel/keyring.json"_s)));
        } else {
            if (!m_secretService)
                m_secretService = SecretServiceKeychainBackend::connect();
            if (!m_secretService)
                QSKIP("No Secret Service on this session bus (scripts/test starts one)");
            Keychain::setBackendForTesting(m_secretService);
        }
        m_recorder.emplace();
        ZVCredentialStorage::removeFromDefaultKeychain();
    }

    void cleanup()
    {
        ZVCredentialStorage::removeFromDefaultKeychain();
        QVERIFY(noItemOfService(ZVCredentialStorage::keychainServiceName()));
        m_recorder.reset();
        Keychain::setBackendForTesting(nullptr);
    }

    void withoutItemThereIsNoTokenAndNoReport()
    {
        QCOMPARE(ZVCredentialStorage::sharedCredentialStorage().token(), nullptr);
        ZVCredentialStorage::sharedCredentialStorage().removeToken();
        QCOMPARE(m_recorder->messages(), QStringList());
    }

    void tokenReadsBackAsStored_data()
    {
        QTest::addColumn<ZVTokenPtr>("token");
        const QDateTime expiry = QDateTime::fromMSecsSinceEpoch(1'800'000'123'456, Qt::UTC);
        QTest::newRow("all fields") << makeToken(u"access-1"_s, u"refresh-1"_s, expiry);
        QTest::newRow("no expiresAt, as the refresh stores it") << makeToken(u"access-2"_s, u"refresh-2"_s, {});
        QTest::newRow("no refreshToken") << makeToken(u"access-3"_s, {}, expiry);
        QTest::newRow("no accessToken") << makeToken({}, u"refresh-4"_s, expiry);
        QTest::newRow("empty strings stay empty, not absent") << makeToken(u""_s, u""_s, {});
        QTest::newRow("quotes, backslashes, non-ASCII")
            << makeToken(u"a\"b\\c\u00e9\u20ac\U0001F600"_s, u"{\"x\": null}"_s, expiry.toOffsetFromUtc(7200));
    }

    void tokenReadsBackAsStored()
    {
        QFETCH(ZVTokenPtr, token);
        ZVCredentialStorage::sharedCredentialStorage().storeToken(token);
        const ZVTokenPtr read = ZVCredentialStorage::sharedCredentialStorage().token();
        QVERIFY(read);
        QCOMPARE(read->accessToken(), token->accessToken());
        QCOMPARE(read->refreshToken(), token->refreshToken());
        QCOMPARE(read->expiresAt(), token->expiresAt());
        QCOMPARE(m_recorder->messages(), QStringList());
    }

    void storingTwiceLeavesOneItemWithTheSecondToken()
    {
        auto &storage = ZVCredentialStorage::sharedCredentialStorage();
        storage.storeToken(makeToken(u"first"_s, u"first-refresh"_s, {}));
        storage.storeToken(makeToken(u"second"_s, {}, {}));
        const ZVTokenPtr read = storage.token();
        QVERIFY(read);
        QCOMPARE(read->accessToken(), u"second"_s);
        QCOMPARE(read->refreshToken(), std::nullopt);

        // One removal must leave nothing behind if there was only one item.
        storage.removeToken();
        QVERIFY(noItemOfService(ZVCredentialStorage::keychainServiceName()));
        QCOMPARE(storage.token(), nullptr);
        QCOMPARE(m_recorder->messages(), QStringList());
    }

    void itemOfAnotherAccountIsFoundReadAndDeleted()
    {
        const QString service = ZVCredentialStorage::keychainServiceName();
        QCOMPARE(Keychain::addGenericPassword(service, u"someone-else"_s, makeToken(u"theirs"_s, {}, {})->encode()),
                 KeychainStatus::Success);
        const ZVTokenPtr read = ZVCredentialStorage::sharedCredentialStorage().token();
        QVERIFY(read);
        QCOMPARE(read->accessToken(), u"theirs"_s);

        ZVCredentialStorage::sharedCredentialStorage().removeToken();
        QVERIFY(noItemOfService(service));
        QCOMPARE(m_recorder->messages(), QStringList());
    }

    void itemThatIsNoTokenArchiveReadsAsNoToken_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("no data") << QByteArray();
        QTest::newRow("not JSON") << "access=abc"_ba;
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{\x00", 5);
        QTest::newRow("a list") << R"(["accessToken"])"_ba;
        QTest::newRow("a number where a string belongs") << R"({"accessToken": 42})"_ba;
        QTest::newRow("a date that is no date") << R"({"accessToken": "a", "expiresAt": "soon"})"_ba;
    }

    void itemThatIsNoTokenArchiveReadsAsNoToken()
    {
        QFETCH(QByteArray, data);
        QCOMPARE(Keychain::addGenericPassword(ZVCredentialStorage::keychainServiceName(), QString(), data),
                 KeychainStatus::Success);
        QCOMPARE(ZVCredentialStorage::sharedCredentialStorage().token(), nullptr);
        QCOMPARE(m_recorder->messages(), QStringList());
    }

    void credentialRoundTrip()
    {
        auto &storage = ZVCredentialStorage::sharedCredentialStorage();
        storage.setCredential({kTestUser, u"first password"_s, 0});
        // A second store for the same user replaces the first.
        storage.setCredential({kTestUser, u"p\u00e4ssw\u00f6rd"_s, 0});
        QCOMPARE(QSettings().value(u"ZorvelUser"_s).toString(), kTestUser);

        URLCredential read = storage.credential();
        QCOMPARE(read.user, kTestUser);
        QCOMPARE(read.password, u"p\u00e4ssw\u00f6rd"_s);
        QCOMPARE(read.persistence, 0);

        storage.removeCredential();
        QVERIFY(!QSettings().contains(u"ZorvelUser"_s));
        KeychainItemRef item;
        QCOMPARE(Keychain::findGenericPassword(u"zorvel"_s, kTestUser, &item), KeychainStatus::ItemNotFound);
        read = storage.credential();
        QCOMPARE(read.user, std::nullopt);
        QCOMPARE(read.password, std::nullopt);
    }

    void credentialWithoutUserQueriesTheEmptyAccount()
    {
        QSettings().remove(u"ZorvelUser"_s);
        QCOMPARE(Keychain::addGenericPassword(u"zorvel"_s, QString(), "nobody's password"_ba), KeychainStatus::Success);
        const URLCredential read = ZVCredentialStorage::sharedCredentialStorage().credential();
        QCOMPARE(read.user, std::nullopt);
        QCOMPARE(read.password, u"nobody's password"_s);

        // Removal without a user clears the same empty-account item.
        ZVCredentialStorage::sharedCredentialStorage().removeCredential();
        KeychainItemRef item;
        QCOMPARE(Keychain::findGenericPassword(u"zorvel"_s, QString(), &item), KeychainStatus::ItemNotFound);
    }

private:
    QTemporaryDir m_dir;
    std::shared_ptr<KeychainBackend> m_secretService;
    std::optional<ReportRecorder> m_recorder;
};

// A store that answers the statuses a test gives it.
class ScriptedBackend final : public KeychainBackend
{
public:
    qint32 findStatus = KeychainStatus::Success;
    qint32 readStatus = KeychainStatus::Success;
    qint32 addStatus = KeychainStatus::Success;
    qint32 removeStatus = KeychainStatus::Success;
    QByteArray data = makeToken(u"scripted"_s, {}, {})->encode();
    QStringList calls;

    QString description() const override { return u"a scripted store"_s; }
    qint32 find(const QString &service, const std::optional<QString> &, KeychainItemRef *item) override
    {
        calls.append(u"find"_s);
        if (findStatus == KeychainStatus::Success)
            *item = KeychainItemRef {service, QString(), nullptr};
        return findStatus;
    }
    qint32 read(const KeychainItemRef &, QByteArray *out) override
    {
        calls.append(u"read"_s);
        if (readStatus == KeychainStatus::Success)
            *out = data;
        return readStatus;
    }
    qint32 add(const QString &, const QString &, const QByteArray &) override
    {
        calls.append(u"add"_s);
        return addStatus;
    }
    qint32 remove(const KeychainItemRef &) override
    {
        calls.append(u"remove"_s);
        return removeStatus;
    }
};

class TestTokenStoreFailures : public QObject
{
    Q_OBJECT

private slots:
    void init() { Keychain::setBackendForTesting(m_backend = std::make_shared<ScriptedBackend>()); }
    void cleanup() { Keychain::setBackendForTesting(nullptr); }

    void readFailures_data()
    {
        QTest::addColumn<qint32>("findStatus");
        QTest::addColumn<qint32>("readStatus");
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("not found") << KeychainStatus::ItemNotFound << KeychainStatus::Success << QStringList()
                                   << QString();
        QTest::newRow("locked keyring")
            << KeychainStatus::InteractionNotAllowed << KeychainStatus::Success
            << QStringList {u"Unexpected error while fetching accounts from keychain: -25308"_s} << QString();
        QTest::newRow("content unreadable") << KeychainStatus::Success << KeychainStatus::NotAvailable << QStringList()
                                            << u"Error from SecKeychainItemCopyContent: -25291"_s;
        QTest::newRow("item gone between find and read")
            << KeychainStatus::Success << KeychainStatus::ItemNotFound << QStringList()
            << u"Error from SecKeychainItemCopyContent: -25300"_s;
    }

    void readFailures()
    {
        QFETCH(qint32, findStatus);
        QFETCH(qint32, readStatus);
        QFETCH(QStringList, reports);
        QFETCH(QString, logLine);
        m_backend->findStatus = findStatus;
        m_backend->readStatus = readStatus;
        if (!logLine.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, logLine.toUtf8().constData());
        ReportRecorder recorder;
        QCOMPARE(ZVCredentialStorage::sharedCredentialStorage().token(), nullptr);
        QCOMPARE(recorder.messages(), reports);
        for (const auto &report : recorder.reports()) {
            QCOMPARE(report.operation, u"ZVCredentialStorage::tokenFromDefaultKeychain"_s);
            QCOMPARE(report.file, u"ZorvelKit/Classes/Service/ZVCredentialStorage"_s);
        }
    }

    void storeFailureIsReportedAfterTheOldItemIsGone()
    {
        m_backend->addStatus = KeychainStatus::IOError;
        ReportRecorder recorder;
        ZVCredentialStorage::sharedCredentialStorage().storeToken(makeToken(u"t"_s, {}, {}));
        QCOMPARE(m_backend->calls, (QStringList {u"find"_s, u"remove"_s, u"add"_s}));
        QCOMPARE(recorder.messages(), QStringList {u"Error while storing accounts in keychain: -36"_s});
        QCOMPARE(recorder.reports().first().operation, u"ZVCredentialStorage::storeTokenInDefaultKeychain"_s);
    }

    void storingNoTokenOnlyRemoves()
    {
        ReportRecorder recorder;
        ZVCredentialStorage::sharedCredentialStorage().storeToken(nullptr);
        QCOMPARE(m_backend->calls, (QStringList {u"find"_s, u"remove"_s}));
        QCOMPARE(recorder.messages(), QStringList());
    }

    void removalFailures_data()
    {
        QTest::addColumn<qint32>("findStatus");
        QTest::addColumn<qint32>("removeStatus");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("reports");
        const QStringList findOnly {u"find"_s};
        const QStringList findAndRemove {u"find"_s, u"remove"_s};
        QTest::newRow("nothing stored") << KeychainStatus::ItemNotFound << KeychainStatus::Success << findOnly
                                        << QStringList();
        QTest::newRow("deleted") << KeychainStatus::Success << KeychainStatus::Success << findAndRemove
                                 << QStringList();
        QTest::newRow("gone before the delete")
            << KeychainStatus::Success << KeychainStatus::ItemNotFound << findAndRemove << QStringList();
        // Reported once, though both the find and the final check see the status.
        QTest::newRow("find fails") << KeychainStatus::InteractionNotAllowed << KeychainStatus::Success << findOnly
                                    << QStringList {u"Error while deleting accounts from keychain: -25308"_s};
        QTest::newRow("delete fails") << KeychainStatus::Success << KeychainStatus::NotAvailable << findAndRemove
                                      << QStringList {u"Error while deleting accounts from keychain: -25291"_s};
    }

    void removalFailures()
    {
        QFETCH(qint32, findStatus);
        QFETCH(qint32, removeStatus);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, reports);
        m_backend->findStatus = findStatus;
        m_backend->removeStatus = removeStatus;
        ReportRecorder recorder;
        ZVCredentialStorage::sharedCredentialStorage().removeToken();
        QCOMPARE(m_backend->calls, calls);
        QCOMPARE(recorder.messages(), reports);
    }

    void serviceNameFollowsTheProgramsIdentity_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("application");
        QTest::addColumn<QString>("service");
        QTest::newRow("the program") << u"zorvel.org"_s << u"Zorvel"_s << u"org.zorvel.Zorvel::TokenStore"_s;
        QTest::newRow("three labels") << u"tools.example.com"_s << u"App"_s << u"com.example.tools.App::TokenStore"_s;
        QTest::newRow("no domain") << QString() << u"Zorvel"_s << u"org.zorvel.Zorvel::TokenStore"_s;
    }

    void serviceNameFollowsTheProgramsIdentity()
    {
        QFETCH(QString, domain);
        QFETCH(QString, application);
        QFETCH(QString, service);
        QCoreApplication::setOrganizationDomain(domain);
        QCoreApplication::setApplicationName(application);
        const QString name = ZVCredentialStorage::keychainServiceName();
        useOwnIdentity();
        QCOMPARE(name, service);
    }

    // Runs this executable as a child with a session bus that fails or never
    // answers: it must fall back to the file store and say so, within the timeout.
    void unreachableSecretServiceFallsBackToTheFileStore_data()
    {
        QTest::addColumn<bool>("silentBus");
        QTest::newRow("no bus at the address") << false;
        QTest::newRow("a bus that never answers") << true;
    }

    void unreachableSecretServiceFallsBackToTheFileStore()
    {
        QFETCH(bool, silentBus);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QLocalServer silent;
        if (silentBus)
            QVERIFY(silent.listen(dir.filePath(u"silent-bus"_s))); // accepts, never reads or writes

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path="_s + dir.filePath(u"silent-bus"_s));
        environment.insert(u"XDG_DATA_HOME"_s, dir.filePath(u"data"_s));
        environment.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
        environment.insert(u"HOME"_s, dir.path());
        environment.remove(u"DISPLAY"_s);
        environment.remove(u"QT_LOGGING_RULES"_s);
        const QString storePath = dir.filePath(u"data/zorvel/keyring.json"_s);

        auto runChild = [&](const QString &action) {
            QProcess child;
            child.setProcessEnvironment(environment);
            child.start(QCoreApplication::applicationFilePath(), {u"--child"_s, action});
            const bool finished = child.waitForFinished(60'000);
            if (!finished)
                child.kill();
            return std::tuple {finished, child.exitCode(), QString::fromUtf8(child.readAllStandardOutput()),
                               QString::fromUtf8(child.readAllStandardError())};
        };

        const auto [readFinished, readCode, readOut, readErr] = runChild(u"read"_s);
        QVERIFY2(readFinished, "the child hung on the keyring");
        QCOMPARE(readCode, 0);
        QCOMPARE(readOut.trimmed(), u"no token"_s);
        const QRegularExpression choice(
            u"Keychain: no Secret Service answered \\(.+\\); using the owner-only file store at "_s
            + QRegularExpression::escape(storePath) + u'$');
        QVERIFY2(readErr.split(u'\n').filter(choice).size() == 1, qPrintable(readErr));
        QCOMPARE(readErr.count(u"Keychain: "_s), 1);

        if (silentBus)
            return; // each run would wait out the timeout again; the rest does not depend on the bus

        // What one run stores, the next run reads; the token itself never reaches the log.
        const auto [storeFinished, storeCode, storeOut, storeErr] = runChild(u"store"_s);
        QVERIFY(storeFinished);
        QCOMPARE(storeCode, 0);
        QVERIFY(!storeErr.contains(u"child-access-token"_s));
        const auto [againFinished, againCode, againOut, againErr] = runChild(u"read"_s);
        QVERIFY(againFinished);
        QCOMPARE(againOut.trimmed(), u"token child-access-token"_s);
        QVERIFY(!againErr.contains(u"child-access-token"_s));
        QT_STATBUF status;
        QCOMPARE(QT_STAT(QFile::encodeName(storePath).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, 0600u);
    }

private:
    std::shared_ptr<ScriptedBackend> m_backend;
};

namespace {
int runChild(const QString &action)
{
    // The child's session bus is the one the parent chose; the first keyring use probes it.
    if (action == "store"_L1) {
        ZVCredentialStorage::sharedCredentialStorage().storeToken(makeToken(u"child-access-token"_s, {}, {}));
        return 0;
    }
    const ZVTokenPtr token = ZVCredentialStorage::sharedCredentialStorage().token();
    const QByteArray line = token ? "token " + token->accessToken().value_or(QString()).toUtf8() : "no token"_ba;
    std::printf("%s\n", line.constData());
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    useOwnIdentity();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments.at(1) == "--child"_L1)
        return runChild(arguments.at(2));

    int failures = 0;
    {
        TestTokenStore store;
        failures += QTest::qExec(&store, argc, argv);
    }
    {
        TestTokenStoreFailures failuresCase;
        failures += QTest::qExec(&failuresCase, argc, argv);
    }
    return failures;
}

#include "tst_zvcredentialstorage.moc"
