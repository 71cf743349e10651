// The keyring layer: both stores answer the same statuses for the same calls,
// the file store keeps its file private and survives a corrupt one, and the process's choice of store.
#include "FileKeychainBackend.h"
#include "Keychain.h"
#include "SecretServiceKeychainBackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <qplatformdefs.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {
// Unique to this test, so that parallel tests never meet its items.
const QString kService = u"org.zorvel.tst_keychain::Items"_s;

QByteArray readItem(const QString &service, const std::optional<QString> &account, qint32 *status)
{
    KeychainItemRef item;
    *status = account ? Keychain::findGenericPassword(service, *account, &item)
                      : Keychain::findGenericPassword(service, &item);
    if (*status != KeychainStatus::Success)
        return {};
    QByteArray data;
    *status = Keychain::copyContent(item, &data);
    return data;
}

// Deletes every item of the service; returns how many there were.
int clearService(const QString &service)
{
    int count = 0;
    KeychainItemRef item;
    while (count < 100 && Keychain::findGenericPassword(service, &item) == KeychainStatus::Success
           && Keychain::deleteItem(item) == KeychainStatus::Success)
        ++count;
    return count;
}

mode_t modeOf(const QString &path)
{
    QT_STATBUF status {};
    if (QT_STAT(QFile::encodeName(path).constData(), &status) != 0)
        return mode_t(-1);
    return status.st_mode & 0777;
}

QtMessageHandler g_previousHandler = nullptr;
QStringList g_keychainLines;
void recordKeychainLines(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith("Keychain: "_L1))
        g_keychainLines.append(message);
    g_previousHandler(type, context, message);
}
} // namespace

// Runs first, before any test forces a store: the process makes its own choice.
class TestKeychainChoice : public QObject
{
    Q_OBJECT

private slots:
    void choiceIsMadeOnceAndLogged()
    {
        g_keychainLines.clear();
        g_previousHandler = qInstallMessageHandler(recordKeychainLines);
        const auto first = Keychain::backend();
        const auto second = Keychain::backend();
        qInstallMessageHandler(g_previousHandler);

        QVERIFY(first);
        QCOMPARE(second, first);
        QCOMPARE(g_keychainLines.size(), 1);
        if (dynamic_cast<SecretServiceKeychainBackend *>(first.get())) {
            QCOMPARE(g_keychainLines.first(), u"Keychain: using the Secret Service"_s);
            // Where a Secret Service answers, nothing of the keyring lands in a file.
            QCOMPARE(Keychain::addGenericPassword(kService, u"choice"_s, "secret"_ba), KeychainStatus::Success);
            QVERIFY(!QFile::exists(FileKeychainBackend::defaultPath()));
            QCOMPARE(clearService(kService), 1);
        } else {
            QVERIFY2(g_keychainLines.first().startsWith("Keychain: no Secret Service answered"_L1),
                     qPrintable(g_keychainLines.first()));
        }
    }
};

class TestKeychain : public QObject
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
            Keychain::setBackendForTesting(std::make_shared<FileKeychainBackend>(m_dir.filePath(u"keyring.json"_s)));
        } else {
            if (!m_secretService)
                m_secretService = SecretServiceKeychainBackend::connect();
            if (!m_secretService)
                QSKIP("No Secret Service on this session bus (scripts/test starts one)");
            Keychain::setBackendForTesting(m_secretService);
        }
        clearService(kService);
    }

    void cleanup()
    {
        clearService(kService);
        Keychain::setBackendForTesting(nullptr);
    }

    void missingItemIsItemNotFoundForEveryCall()
    {
        qint32 status = 0;
        readItem(kService, std::nullopt, &status);
        QCOMPARE(status, KeychainStatus::ItemNotFound);
        readItem(kService, u"nobody"_s, &status);
        QCOMPARE(status, KeychainStatus::ItemNotFound);
        // A reference to an item that is not (or no longer) there.
        const KeychainItemRef stale {kService, u"nobody"_s, nullptr};
        QByteArray data;
        QCOMPARE(Keychain::copyContent(stale, &data), KeychainStatus::ItemNotFound);
        QCOMPARE(Keychain::deleteItem(stale), KeychainStatus::ItemNotFound);
    }

    void dataReadsBackByteForByte_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty account, text") << QString() << "{\"accessToken\":\"x\"}"_ba;
        QTest::newRow("no data") << u"someone"_s << QByteArray();
        QTest::newRow("NUL and high bytes") << u"b\u00e9n"_s << QByteArray("\x00\x01\xff\xfe\x80\x00", 6);
        QTest::newRow("large") << u"big"_s << QByteArray(64 * 1024, 'z');
    }

    void dataReadsBackByteForByte()
    {
        QFETCH(QString, account);
        QFETCH(QByteArray, data);
        QCOMPARE(Keychain::addGenericPassword(kService, account, data), KeychainStatus::Success);

        KeychainItemRef item;
        QCOMPARE(Keychain::findGenericPassword(kService, &item), KeychainStatus::Success);
        QCOMPARE(item.account, account);
        QByteArray read;
        QCOMPARE(Keychain::copyContent(item, &read), KeychainStatus::Success);
        QCOMPARE(read, data);
        QCOMPARE(Keychain::deleteItem(item), KeychainStatus::Success);
        QCOMPARE(Keychain::findGenericPassword(kService, &item), KeychainStatus::ItemNotFound);
    }

    void accountsAndServicesAreMatchedExactly()
    {
        QCOMPARE(Keychain::addGenericPassword(kService, u"alice"_s, "alice's"_ba), KeychainStatus::Success);
        QCOMPARE(Keychain::addGenericPassword(kService, u"bob"_s, "bob's"_ba), KeychainStatus::Success);
        // Adding for the same account again replaces, never duplicates.
        QCOMPARE(Keychain::addGenericPassword(kService, u"bob"_s, "bob's new"_ba), KeychainStatus::Success);

        qint32 status = 0;
        QCOMPARE(readItem(kService, u"alice"_s, &status), "alice's"_ba);
        QCOMPARE(readItem(kService, u"bob"_s, &status), "bob's new"_ba);
        readItem(kService, u"ali"_s, &status);
        QCOMPARE(status, KeychainStatus::ItemNotFound);
        readItem(kService + u"2"_s, std::nullopt, &status);
        QCOMPARE(status, KeychainStatus::ItemNotFound);
        readItem(kService.chopped(1), std::nullopt, &status);
        QCOMPARE(status, KeychainStatus::ItemNotFound);

        QCOMPARE(clearService(kService), 2);
    }

    void secretServiceItemIsVisibleToOtherTools()
    {
        QFETCH_GLOBAL(QString, store);
        if (store != "secret-service"_L1)
            QSKIP("the Secret Service's own item attributes");
        const QString tool = QStandardPaths::findExecutable(u"secret-tool"_s);
        if (tool.isEmpty())
            QSKIP("secret-tool is not installed");

        QCOMPARE(Keychain::addGenericPassword(kService, u"ours"_s, "stored by us"_ba), KeychainStatus::Success);
        QProcess lookup;
        lookup.start(tool, {u"lookup"_s, u"service"_s, kService, u"account"_s, u"ours"_s});
        QVERIFY(lookup.waitForFinished(10'000));
        QCOMPARE(lookup.readAllStandardOutput(), "stored by us"_ba);

        // And an item another tool stored under the service is ours to find, read and delete.
        QCOMPARE(clearService(kService), 1);
        QProcess storing;
        storing.start(tool, {u"store"_s, u"--label=theirs"_s, u"service"_s, kService, u"account"_s, u"theirs"_s});
        QVERIFY(storing.waitForStarted());
        storing.write("stored by them");
        storing.closeWriteChannel();
        QVERIFY(storing.waitForFinished(10'000));
        QVERIFY2(storing.exitCode() == 0, storing.readAllStandardError().constData());
        qint32 status = 0;
        const QByteArray theirs = readItem(kService, std::nullopt, &status);
        // The status first: empty data alone cannot tell a missing item from an empty secret.
        QCOMPARE(status, KeychainStatus::Success);
        QCOMPARE(theirs, "stored by them"_ba);
        QCOMPARE(clearService(kService), 1);
    }

private:
    QTemporaryDir m_dir;
    std::shared_ptr<KeychainBackend> m_secretService;
};

// What only the file store has: its file and directory, and what it makes of a bad file.
class TestFileKeychainBackend : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(u"zorvel/keyring.json"_s);
        m_store = std::make_shared<FileKeychainBackend>(m_path);
    }

    void fileAndDirectoryAreOwnerOnly_data()
    {
        QTest::addColumn<bool>("directoryExists");
        QTest::newRow("new directory") << false;
        QTest::newRow("directory made by someone else, open to all") << true;
    }

    void fileAndDirectoryAreOwnerOnly()
    {
        QFETCH(bool, directoryExists);
        const QString directory = QFileInfo(m_path).absolutePath();
        if (directoryExists) {
            QVERIFY(QDir().mkpath(directory));
            QVERIFY(::chmod(QFile::encodeName(directory).constData(), 0777) == 0);
        }
        // Even with a process umask that takes nothing away.
        const mode_t previousMask = ::umask(0);
        const qint32 status = m_store->add(u"s"_s, u"a"_s, "secret"_ba);
        ::umask(previousMask);
        QCOMPARE(status, KeychainStatus::Success);
        QCOMPARE(modeOf(directory), mode_t(0700));
        QCOMPARE(modeOf(m_path), mode_t(0600));
        // No temporary file is left beside it.
        QCOMPARE(QDir(directory).entryList(QDir::Files | QDir::Hidden), QStringList {u"keyring.json"_s});
    }

    void corruptFileReadsAsNoItemAndIsReplaced_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("accountsLeft");
        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("not JSON") << "\x00\xff garbage"_ba << QStringList();
        QTest::newRow("truncated") << "{\"items\": [{\"service\": \"s\", \"acc"_ba << QStringList();
        QTest::newRow("a list at the top") << "[{\"service\": \"s\"}]"_ba << QStringList();
        QTest::newRow("items of the wrong kind") << "{\"items\": 5}"_ba << QStringList();
        QTest::newRow("one bad item beside a good one")
            << "{\"items\": [{\"service\": \"s\", \"account\": \"bad\", \"data\": \"!!not base64!!\"},"
               " {\"service\": \"s\", \"account\": 7, \"data\": \"\"},"
               " {\"service\": \"s\", \"account\": \"good\", \"data\": \"b2xk\"}]}"_ba
            << QStringList {u"good"_s};
        QTest::newRow("larger than a store can be")
            << "{\"items\": [{\"service\": \"s\", \"account\": \"good\", \"data\": \"b2xk\"}], \"pad\": \""_ba
                + QByteArray(FileKeychainBackend::kMaximumFileSize, 'x') + "\"}"
            << QStringList();
    }

    void corruptFileReadsAsNoItemAndIsReplaced()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, accountsLeft);
        QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        if (!content.isEmpty() || accountsLeft.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^Keychain: the file store at .* cannot be read"_s));
        KeychainItemRef item;
        const qint32 found = m_store->find(u"s"_s, u"bad"_s, &item);
        QCOMPARE(found, KeychainStatus::ItemNotFound);
        // Said once, not on every read.
        QCOMPARE(m_store->find(u"s"_s, u"bad"_s, &item), KeychainStatus::ItemNotFound);

        QCOMPARE(m_store->add(u"s"_s, u"new"_s, "new"_ba), KeychainStatus::Success);
        QStringList accounts;
        while (m_store->find(u"s"_s, std::nullopt, &item) == KeychainStatus::Success) {
            accounts.append(item.account);
            QCOMPARE(m_store->remove(item), KeychainStatus::Success);
        }
        accountsLeft.append(u"new"_s);
        QCOMPARE(accounts, accountsLeft);
    }

    void unusablePathFailsWithoutCrashing()
    {
        // A directory where the file belongs: nothing can be read and nothing written.
        QVERIFY(QDir().mkpath(m_path));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^Keychain: the file store at .* cannot be read"_s));
        KeychainItemRef item;
        QCOMPARE(m_store->find(u"s"_s, std::nullopt, &item), KeychainStatus::ItemNotFound);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^Keychain: cannot write the file store at "_s));
        QCOMPARE(m_store->add(u"s"_s, u"a"_s, "x"_ba), KeychainStatus::IOError);
    }

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_path;
    std::shared_ptr<FileKeychainBackend> m_store;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationDomain(u"zorvel.org"_s);
    QCoreApplication::setApplicationName(u"tst_keychain"_s);
    int failures = 0;
    {
        TestKeychainChoice choice;
        failures += QTest::qExec(&choice, argc, argv);
    }
    {
        TestKeychain keychain;
        failures += QTest::qExec(&keychain, argc, argv);
    }
    {
        TestFileKeychainBackend file;
        failures += QTest::qExec(&file, argc, argv);
    }
    return failures;
}

#include "tst_keychain.moc"
