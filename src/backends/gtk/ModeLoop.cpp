#include "ModeLoop.h"

#include <glib-unix.h>
#include <signal.h>

namespace pelmora {

ModeLoop::ModeLoop() : loop_(g_main_loop_new(nullptr, FALSE)) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        signalSources_.push_back(g_unix_signal_add(signal, onSignal, this));
    }
}

ModeLoop::~ModeLoop() {
    for (const guint source : signalSources_) {
        g_source_remove(source);
    }
    g_main_loop_unref(loop_);
}

void ModeLoop::end() {
    ended_ = true;
    g_main_loop_quit(loop_);
}

void ModeLoop::fail() {
    status_ = 1;
    end();
}

int ModeLoop::run() {
    // A quit before the loop runs would be forgotten when it starts; GTK may
    // well dispatch the signal's source while the windows are being made.
    if (!ended_) {
        g_main_loop_run(loop_);
    }
    return status_;
}

gboolean ModeLoop::onSignal(gpointer self) {
    static_cast<ModeLoop*>(self)->end();
    return G_SOURCE_CONTINUE;
}

}  // namespace pelmora
