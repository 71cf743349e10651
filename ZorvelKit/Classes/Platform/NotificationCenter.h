// Process-wide notifications by name: observers are called synchronously, in
// the order they were added, and removed by the token that adding returned.
#pragma once

#include <QList>
#include <QString>
#include <functional>

class NotificationCenter
{
public:
    using Observer = std::function<void(const QString &name)>;
    using Token = quint64;

    static NotificationCenter &defaultCenter();

    Token addObserver(const QString &name, Observer observer);
    void removeObserver(Token token);
    // Delivers to every observer of the name that is registered when posting
    // starts and still registered when its turn comes.
    void postNotification(const QString &name);
    int observerCount(const QString &name) const;

private:
    struct Entry { Token token; QString name; Observer observer; };
    QList<Entry> m_entries;
    Token m_nextToken = 1;
};
