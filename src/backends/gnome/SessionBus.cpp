#include "SessionBus.h"

#include <glib.h>

#include <string>

namespace pelmora {

GDBusConnection* SessionBus::connect() {
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    const bool named = address != nullptr && *address != '\0';
    const std::string socket = std::string(g_get_user_runtime_dir()) + "/bus";
    if (!named && !g_file_test(socket.c_str(), G_FILE_TEST_EXISTS)) {
        return nullptr;
    }
    return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
}

}  // namespace pelmora
