// A private HOME and XDG directories for one test, in a temporary directory that
// is removed afterwards; the previous values come back when it goes out of scope.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>
#include <optional>

// Usage: a member of the test class, or a local in a test function:
//     TestEnvironment environment;
//     QVERIFY(environment.isValid());
//     ... QStandardPaths and QSettings now resolve below environment.path() ...
// XDG_RUNTIME_DIR is left alone, so that the session bus and keyring stay reachable.
class TestEnvironment final
{
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString dataHome() const; // $XDG_DATA_HOME
    QString configHome() const; // $XDG_CONFIG_HOME

private:
    QTemporaryDir m_dir;
    QList<QPair<QByteArray, std::optional<QByteArray>>> m_saved;
};
