#include "SecretServiceKeychainBackend.h"

#include "Keychain.h"
#include "Log.h"

#include <condition_variable>
#include <mutex>
#include <thread>

// GLib's headers name struct members "signals", which Qt defines as a keyword
// unless QT_NO_KEYWORDS is set. Nothing below declares Qt signals.
#undef signals
#include <libsecret/secret.h>

using namespace Qt::StringLiterals;

namespace {

const SecretSchema *schema()
{
    static const SecretSchema s = [] {
        SecretSchema schema {};
        schema.name = "org.zorvel.Keychain.GenericPassword";
        // Match by attributes only, so items stored by other tools under the same service are found too.
        schema.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        schema.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        schema.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return schema;
    }();
    return &s;
}

// A cancellable that a timer thread cancels when the call outlives the timeout.
// A thread, because libsecret's sync calls spin a private main context that no
// GLib timeout of ours would be attached to.
class CallDeadline
{
public:
    explicit CallDeadline(std::chrono::milliseconds timeout)
        : m_cancellable(g_cancellable_new())
    {
        m_timer = std::thread([this, timeout] {
            {
                std::unique_lock lock(m_mutex);
                if (m_finished.wait_for(lock, timeout, [this] { return m_done; }))
                    return;
            }
            g_cancellable_cancel(m_cancellable);
        });
    }
    ~CallDeadline()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_finished.notify_one();
        m_timer.join();
        g_object_unref(m_cancellable);
    }
    CallDeadline(const CallDeadline &) = delete;
    CallDeadline &operator=(const CallDeadline &) = delete;

    GCancellable *cancellable() const { return m_cancellable; }

private:
    GCancellable *m_cancellable;
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    std::thread m_timer;
};

struct GErrorDeleter
{
    void operator()(GError *error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

qint32 statusFor(const char *call, GError *rawError)
{
    ErrorPtr error(rawError);
    if (!error)
        return KeychainStatus::NotAvailable;
    qint32 status = KeychainStatus::NotAvailable;
    if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED))
        status = KeychainStatus::InteractionNotAllowed; // ran out of time, most likely on a prompt
    else if (g_error_matches(error.get(), SECRET_ERROR, SECRET_ERROR_IS_LOCKED))
        status = KeychainStatus::InteractionNotAllowed;
    else if (g_error_matches(error.get(), SECRET_ERROR, SECRET_ERROR_NO_SUCH_OBJECT))
        status = KeychainStatus::ItemNotFound;
    if (status != KeychainStatus::ItemNotFound)
        qCWarning(lcZorvel).noquote() << u"Keychain: the Secret Service failed in %1 (%2)"_s.arg(
            QLatin1String(call), QString::fromUtf8(error->message));
    return status;
}

using HashTablePtr = std::unique_ptr<GHashTable, decltype(&g_hash_table_unref)>;

HashTablePtr attributes(const QString &service, const std::optional<QString> &account)
{
    HashTablePtr table(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free), &g_hash_table_unref);
    g_hash_table_insert(table.get(), g_strdup("service"), g_strdup(service.toUtf8().constData()));
    if (account)
        g_hash_table_insert(table.get(), g_strdup("account"), g_strdup(account->toUtf8().constData()));
    return table;
}

std::shared_ptr<void> holdObject(gpointer object)
{
    return std::shared_ptr<void>(object, [](void *o) { g_object_unref(o); });
}

SecretService *serviceOf(const std::shared_ptr<void> &service)
{
    return static_cast<SecretService *>(service.get());
}

} // namespace

std::shared_ptr<SecretServiceKeychainBackend> SecretServiceKeychainBackend::connect(QString *whyNot)
{
    CallDeadline deadline(kCallTimeout);
    GError *error = nullptr;
    // Opening a session makes the service answer a real call: a bus without a
    // Secret Service fails here rather than on the first read.
    SecretService *service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, deadline.cancellable(), &error);
    if (!service) {
        ErrorPtr held(error);
        if (whyNot)
            *whyNot = held ? QString::fromUtf8(held->message) : u"no reason given"_s;
        return nullptr;
    }
    return std::shared_ptr<SecretServiceKeychainBackend>(new SecretServiceKeychainBackend(holdObject(service)));
}

SecretServiceKeychainBackend::SecretServiceKeychainBackend(std::shared_ptr<void> service)
    : m_service(std::move(service))
{ }

QString SecretServiceKeychainBackend::description() const
{
    return u"the Secret Service"_s;
}

qint32 SecretServiceKeychainBackend::find(const QString &service, const std::optional<QString> &account,
                                          KeychainItemRef *item)
{
    CallDeadline deadline(kCallTimeout);
    GError *error = nullptr;
    HashTablePtr query = attributes(service, account);
    // Without SECRET_SEARCH_ALL only the first match comes back; locked items
    // match too, and reading them is where an unlock is asked for.
    GList *found = secret_service_search_sync(serviceOf(m_service), schema(), query.get(), SECRET_SEARCH_NONE,
                                              deadline.cancellable(), &error);
    if (error)
        return statusFor("search", error);
    if (!found)
        return KeychainStatus::ItemNotFound;

    auto *secretItem = static_cast<SecretItem *>(found->data);
    HashTablePtr itemAttributes(secret_item_get_attributes(secretItem), &g_hash_table_unref);
    const auto *foundAccount = static_cast<const char *>(g_hash_table_lookup(itemAttributes.get(), "account"));
    *item = KeychainItemRef {service, foundAccount ? QString::fromUtf8(foundAccount) : QString(),
                             holdObject(g_object_ref(secretItem))};
    g_list_free_full(found, g_object_unref);
    return KeychainStatus::Success;
}

qint32 SecretServiceKeychainBackend::read(const KeychainItemRef &item, QByteArray *data)
{
    KeychainItemRef found = item;
    if (!found.handle) {
        if (const qint32 status = find(item.service, item.account, &found); status != KeychainStatus::Success)
            return status;
    }
    auto *secretItem = static_cast<SecretItem *>(found.handle.get());

    if (secret_item_get_locked(secretItem)) {
        CallDeadline deadline(kCallTimeout);
        GError *error = nullptr;
        GList *objects = g_list_append(nullptr, secretItem);
        // May show the desktop's unlock prompt; the deadline dismisses it unanswered.
        secret_service_unlock_sync(serviceOf(m_service), objects, deadline.cancellable(), nullptr, &error);
        g_list_free(objects);
        if (error)
            return statusFor("unlock", error);
        if (secret_item_get_locked(secretItem))
            return KeychainStatus::InteractionNotAllowed;
    }

    CallDeadline deadline(kCallTimeout);
    GError *error = nullptr;
    if (!secret_item_load_secret_sync(secretItem, deadline.cancellable(), &error))
        return statusFor("load secret", error);
    SecretValue *value = secret_item_get_secret(secretItem);
    if (!value) {
        // A load that succeeded but left no secret is a failure, never an empty secret.
        qCWarning(lcZorvel).noquote() << "Keychain: the Secret Service returned no secret for the item";
        return KeychainStatus::NotAvailable;
    }
    gsize length = 0;
    const gchar *bytes = secret_value_get(value, &length);
    *data = QByteArray(bytes, qsizetype(length));
    secret_value_unref(value);
    return KeychainStatus::Success;
}

qint32 SecretServiceKeychainBackend::add(const QString &service, const QString &account, const QByteArray &data)
{
    CallDeadline deadline(kCallTimeout);
    GError *error = nullptr;
    HashTablePtr itemAttributes = attributes(service, account);
    SecretValue *value = secret_value_new(data.constData(), data.size(), "application/octet-stream");
    const QByteArray label = (account.isEmpty() ? service : service + u" ("_s + account + u')').toUtf8();
    // Storing replaces an item of this schema with the same attributes.
    const gboolean stored
        = secret_service_store_sync(serviceOf(m_service), schema(), itemAttributes.get(), SECRET_COLLECTION_DEFAULT,
                                    label.constData(), value, deadline.cancellable(), &error);
    secret_value_unref(value);
    if (!stored)
        return statusFor("store", error);
    return KeychainStatus::Success;
}

qint32 SecretServiceKeychainBackend::remove(const KeychainItemRef &item)
{
    KeychainItemRef found = item;
    if (!found.handle) {
        if (const qint32 status = find(item.service, item.account, &found); status != KeychainStatus::Success)
            return status;
    }
    CallDeadline deadline(kCallTimeout);
    GError *error = nullptr;
    if (!secret_item_delete_sync(static_cast<SecretItem *>(found.handle.get()), deadline.cancellable(), &error))
        return statusFor("delete", error);
    return KeychainStatus::Success;
}
