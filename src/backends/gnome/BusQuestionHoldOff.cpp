#include "BusQuestionHoldOff.h"

namespace pelmora {

namespace {

// A question that takes longer than this is taken as "does not hold": the
// service is stuck, and the saver should not be stuck with it.
constexpr int kAnswerMilliseconds = 5000;

}  // namespace

BusQuestionHoldOff::BusQuestionHoldOff(GDBusConnection* bus, Question question)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))), question_(std::move(question)), cancellable_(g_cancellable_new()) {
    if (question_.arguments != nullptr) {
        g_variant_ref_sink(question_.arguments);
    }
}

BusQuestionHoldOff::~BusQuestionHoldOff() {
    g_cancellable_cancel(cancellable_);
    for (const guint subscription : subscriptions_) {
        g_dbus_connection_signal_unsubscribe(bus_, subscription);
    }
    g_object_unref(cancellable_);
    if (question_.arguments != nullptr) {
        g_variant_unref(question_.arguments);
    }
    g_object_unref(bus_);
}

void BusQuestionHoldOff::start(std::function<void(bool)> changed) {
    changed_ = std::move(changed);
    for (const char* signal : question_.signals) {
        subscriptions_.push_back(g_dbus_connection_signal_subscribe(
            bus_, question_.service, question_.signalInterface, signal, question_.path.c_str(), nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, onSignal, this, nullptr));
    }
    ask();
}

void BusQuestionHoldOff::onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
                                  gpointer self) {
    static_cast<BusQuestionHoldOff*>(self)->ask();
}

void BusQuestionHoldOff::ask() {
    // Never start the service for this: a desktop without it has nothing
    // that could hold the saver off.
    g_dbus_connection_call(bus_, question_.service, question_.path.c_str(), question_.interface, question_.method,
                           question_.arguments, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kAnswerMilliseconds,
                           cancellable_, onAnswer, this);
}

void BusQuestionHoldOff::onAnswer(GObject* bus, GAsyncResult* result, gpointer self) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
    if (reply == nullptr) {
        // A cancelled call's hold-off is gone; touch nothing of it.
        const bool gone = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        g_error_free(error);
        if (!gone) {
            static_cast<BusQuestionHoldOff*>(self)->changed_(false);
        }
        return;
    }
    static_cast<BusQuestionHoldOff*>(self)->answered(reply);
    g_variant_unref(reply);
}

void BusQuestionHoldOff::answered(GVariant* reply) {
    if (g_variant_n_children(reply) == 0) {
        changed_(false);
        return;
    }
    GVariant* value = g_variant_get_child_value(reply, 0);
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_VARIANT)) {
        GVariant* inner = g_variant_get_variant(value);
        g_variant_unref(value);
        value = inner;
    }
    const bool holds = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value) != FALSE;
    g_variant_unref(value);
    changed_(holds);
}

}  // namespace pelmora
