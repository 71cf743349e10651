// The keyring for machines without a Secret Service: one JSON file readable by
// its owner alone, under $XDG_DATA_HOME/zorvel/, replaced atomically on each change.
#pragma once

#include "KeychainBackend.h"

#include <QList>
#include <mutex>

// The file is {"items": [{"service": …, "account": …, "data": <base64>}]}. A
// missing, corrupt or unreadable file counts as a store without items; the next
// change replaces it.
class FileKeychainBackend final : public KeychainBackend
{
public:
    explicit FileKeychainBackend(QString path);

    // <generic data location>/zorvel/keyring.json
    static QString defaultPath();
    const QString &path() const { return m_path; }

    QString description() const override;
    qint32 find(const QString &service, const std::optional<QString> &account, KeychainItemRef *item) override;
    qint32 read(const KeychainItemRef &item, QByteArray *data) override;
    qint32 add(const QString &service, const QString &account, const QByteArray &data) override;
    qint32 remove(const KeychainItemRef &item) override;

    // A file larger than this is not ours to read.
    static constexpr qint64 kMaximumFileSize = 1024 * 1024;

private:
    struct Item
    {
        QString service;
        QString account;
        QByteArray data;
    };

    QList<Item> load();
    qint32 save(const QList<Item> &items);

    const QString m_path;
    // One read-modify-write at a time within the process.
    std::mutex m_mutex;
    bool m_reportedUnreadable = false;
};
