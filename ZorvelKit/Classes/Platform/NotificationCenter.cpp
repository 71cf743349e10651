#include "NotificationCenter.h"

#include <algorithm>

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString &name, Observer observer)
{
    const Token token = m_nextToken++;
    m_entries.append({token, name, std::move(observer)});
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    m_entries.removeIf([token](const Entry &entry) { return entry.token == token; });
}

void NotificationCenter::postNotification(const QString &name)
{
    // Observers may add or remove observers while being called: walk a list of
    // tokens and look each one up again before calling it.
    QList<Token> tokens;
    for (const Entry &entry : std::as_const(m_entries))
        if (entry.name == name)
            tokens.append(entry.token);
    for (Token token : std::as_const(tokens)) {
        auto it = std::find_if(m_entries.cbegin(), m_entries.cend(),
                               [token](const Entry &entry) { return entry.token == token; });
        if (it == m_entries.cend())
            continue;
        Observer observer = it->observer; // a copy: the entry may go away during the call
        observer(name);
    }
}

int NotificationCenter::observerCount(const QString &name) const
{
    return int(std::count_if(m_entries.cbegin(), m_entries.cend(),
                             [&name](const Entry &entry) { return entry.name == name; }));
}
