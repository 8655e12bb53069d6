#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>
#include <vector>

#include "HoldOff.h"

namespace pelmora {

// A hold-off that a desktop service answers on D-Bus: one method whose
// reply is a boolean (bare, or in a variant as a property's is), asked at
// start and again whenever the service sends one of the signals that say
// the answer may have changed. A service that is not there, or fails to
// answer, does not hold.
class BusQuestionHoldOff : public HoldOff {
public:
    struct Question {
        const char* reason;
        const char* service;
        std::string path;
        const char* interface;
        const char* method;
        // The method's arguments, or nullptr; the hold-off takes the reference.
        GVariant* arguments;
        // The signals, on the interface and path given here, that say "ask again".
        const char* signalInterface;
        std::vector<const char*> signals;
    };

    BusQuestionHoldOff(GDBusConnection* bus, Question question);
    ~BusQuestionHoldOff() override;

    const char* reason() const override { return question_.reason; }
    void start(std::function<void(bool)> changed) override;

private:
    static void onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
                         gpointer self);
    static void onAnswer(GObject* bus, GAsyncResult* result, gpointer self);

    void ask();
    void answered(GVariant* reply);

    GDBusConnection* bus_;
    Question question_;
    std::vector<guint> subscriptions_;
    // Outstanding questions are cancelled when the hold-off goes.
    GCancellable* cancellable_;
    std::function<void(bool)> changed_;
};

}  // namespace pelmora
