#include "MutterServer.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "SessionBus.h"

namespace pelmora::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr uid_t kNobody = 65534;
constexpr int kCallMilliseconds = 10000;
constexpr auto kStartLimit = 30000ms;
constexpr const char* kRemote = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kCast = "org.gnome.Mutter.ScreenCast";
struct Monitor {
    const char* connector;
    int width;
    int height;
};
constexpr Monitor kMonitors[] = {{"Meta-0", 1280, 800}, {"Meta-1", 800, 600}};

// A session bus that any user may join: Mutter's user, and root's clients.
constexpr const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=@DIR@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

bool waitFor(const std::function<bool()>& condition, const std::function<bool()>& alive) {
    const auto end = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < end && alive()) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

bool handTo(const fs::path& path, bool root) { return !root || chown(path.c_str(), kNobody, kNobody) == 0; }

}  // namespace

MutterServer::MutterServer(const std::string& x11Display) : x11Display_(x11Display) {
    char pattern[] = "/tmp/pelmora-mutter-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        error_ = "cannot make a directory for mutter";
        return;
    }
    base_ = pattern;
    const bool root = geteuid() == 0;
    for (const char* folder : {"run", "home", "bus"}) {
        fs::create_directories(base_ / folder);
        if (!handTo(base_ / folder, root)) {
            error_ = "cannot hand mutter's folders to nobody";
            return;
        }
    }
    chmod(base_.c_str(), 0755);
    chmod((base_ / "run").c_str(), 0700);
    chmod((base_ / "bus").c_str(), 0755);
    std::string config = kBusConfig;
    config.replace(config.find("@DIR@"), 5, (base_ / "bus").string());
    std::ofstream(base_ / "bus.conf") << config;
    chmod((base_ / "bus.conf").c_str(), 0644);

    // The shell notes the bus's address and its own process number, which
    // becomes Mutter's, before it makes way for Mutter.
    const std::string script = "echo \"$DBUS_SESSION_BUS_ADDRESS\" > " + (base_ / "bus" / "address.new").string() +
                               " && echo $$ > " + (base_ / "bus" / "mutter.pid").string() + " && mv " +
                               (base_ / "bus" / "address.new").string() + " " + (base_ / "bus" / "address").string() +
                               (x11Display_.empty() ? " && { pipewire & echo $! > " + (base_ / "bus" / "pipewire.pid").string() +
                                                      "; sleep 0.5; wireplumber & echo $! > " +
                                                      (base_ / "bus" / "wireplumber.pid").string() +
                                                      "; } && exec mutter "
                                                      "--headless --wayland --no-x11 --virtual-monitor 1280x800 "
                                                      "--virtual-monitor 800x600"
                                                    : " && exec mutter --x11 --replace");
    std::vector<std::string> arguments{"-i",
                                       "HOME=" + (base_ / "home").string(),
                                       "XDG_RUNTIME_DIR=" + (base_ / "run").string(),
                                       "GSETTINGS_BACKEND=memory",
                                       "DISPLAY=" + x11Display_,
                                       "PATH=/usr/bin:/bin",
                                       "dbus-run-session",
                                       "--config-file=" + (base_ / "bus.conf").string(),
                                       "--",
                                       "sh",
                                       "-c",
                                       script};
    std::string program = "/usr/bin/env";
    if (root) {
        arguments.insert(arguments.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
        program = "/usr/bin/setpriv";
    }
    mutter_ = std::make_unique<HackProcess>(program, arguments, std::map<std::string, std::string>{});
    const auto alive = [this] { return mutter_->running(); };
    if (!waitFor([this] { return fs::exists(base_ / "bus" / "address"); }, alive)) {
        error_ = "mutter's session bus did not come up: " + mutter_->standardError();
        return;
    }
    address_ = firstLine(base_ / "bus" / "address");
    GError* error = nullptr;
    bus_ = g_dbus_connection_new_for_address_sync(
        address_.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (bus_ == nullptr) {
        error_ = std::string("cannot join mutter's session bus: ") + error->message;
        g_error_free(error);
        return;
    }
    if (!waitFor(
            [this] {
                return nameRuns("org.gnome.Mutter.IdleMonitor") && nameRuns(kRemote) && nameRuns(kCast) &&
                       (!x11Display_.empty() ||
                        (fs::exists(base_ / "run" / "wayland-0") && fs::exists(base_ / "run" / "pipewire-0")));
            },
            alive)) {
        const bool noPipeWire = x11Display_.empty() && !fs::exists(base_ / "run" / "pipewire-0");
        error_ = std::string(noPipeWire ? "pipewire (or mutter)" : "mutter") +
                 " did not come up: " + mutter_->standardError();
    }
}

MutterServer::~MutterServer() {
    mocks_.clear();
    if (bus_ != nullptr) {
        g_dbus_connection_close_sync(bus_, nullptr, nullptr);
        g_object_unref(bus_);
    }
    // Mutter's end ends dbus-run-session and its bus; killing only the
    // first would leave Mutter running.
    const std::string pid = base_.empty() ? std::string() : firstLine(base_ / "bus" / "mutter.pid");
    if (!pid.empty() && mutter_) {
        const pid_t mutter = static_cast<pid_t>(std::stol(pid));
        kill(mutter, SIGTERM);
        if (!mutter_->waitForExit(10000ms)) {
            kill(mutter, SIGKILL);
        }
    }
    mutter_.reset();
    // PipeWire and its session manager outlive the bus: they go by name.
    for (const char* helper : {"pipewire.pid", "wireplumber.pid"}) {
        const std::string number = base_.empty() ? std::string() : firstLine(base_ / "bus" / helper);
        if (!number.empty()) {
            kill(static_cast<pid_t>(std::stol(number)), SIGTERM);
        }
    }
    if (!base_.empty()) {
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }
}

std::map<std::string, std::string> MutterServer::clientEnvironment() const {
    return {{"XDG_RUNTIME_DIR", (base_ / "run").string()},
            {"WAYLAND_DISPLAY", x11Display_.empty() ? "wayland-0" : ""},
            {"DISPLAY", x11Display_},
            {"DBUS_SESSION_BUS_ADDRESS", address_},
            // Never the machine's own system bus.
            {"DBUS_SYSTEM_BUS_ADDRESS", address_},
            {"XDG_CONFIG_HOME", (base_ / "config-home").string()},
            // GTK would otherwise look for an accessibility bus that is not there.
            {"NO_AT_BRIDGE", "1"}};
}

GVariant* MutterServer::ask(const char* service, const char* path, const char* interface, const char* method,
                           GVariant* arguments) const {
    return g_dbus_connection_call_sync(bus_, service, path, interface, method, arguments, nullptr,
                                       G_DBUS_CALL_FLAGS_NONE, kCallMilliseconds, nullptr, nullptr);
}

bool MutterServer::call(const char* service, const char* path, const char* interface, const char* method,
                        GVariant* arguments) const {
    GVariant* reply = ask(service, path, interface, method, arguments);
    if (reply == nullptr) {
        return false;
    }
    g_variant_unref(reply);
    return true;
}

bool MutterServer::nameRuns(const char* name) const { return SessionBus::nameRuns(bus_, name); }

std::optional<std::string> MutterServer::askPath(const char* service, const char* path, const char* interface,
                                                 const char* method, GVariant* arguments) const {
    GVariant* reply = ask(service, path, interface, method, arguments);
    if (reply == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> object;
    if (g_variant_is_of_type(reply, G_VARIANT_TYPE("(o)"))) {
        const gchar* found = nullptr;
        g_variant_get(reply, "(&o)", &found);
        object = found;
    }
    g_variant_unref(reply);
    return object;
}

bool MutterServer::remoteInput(const std::vector<std::pair<const char*, GVariant*>>& steps) const {
    const auto session = askPath(kRemote, "/org/gnome/Mutter/RemoteDesktop", kRemote, "CreateSession", nullptr);
    if (!session) {
        for (const auto& step : steps) {
            g_variant_unref(g_variant_ref_sink(step.second));
        }
        return false;
    }
    const std::string interface = std::string(kRemote) + ".Session";
    bool done = call(kRemote, session->c_str(), interface.c_str(), "Start", nullptr);
    for (const auto& [method, arguments] : steps) {
        done = call(kRemote, session->c_str(), interface.c_str(), method, arguments) && done;
    }
    return call(kRemote, session->c_str(), interface.c_str(), "Stop", nullptr) && done;
}

bool MutterServer::movePointer(double dx, double dy) const {
    return remoteInput({{"NotifyPointerMotionRelative", g_variant_new("(dd)", dx, dy)}});
}

bool MutterServer::pressKey(unsigned keycode) const {
    return remoteInput({{"NotifyKeyboardKeycode", g_variant_new("(ub)", keycode, TRUE)},
                        {"NotifyKeyboardKeycode", g_variant_new("(ub)", keycode, FALSE)}});
}

std::optional<unsigned> MutterServer::castNode(const std::string& session, const std::string& connector) const {
    const std::string interface = std::string(kCast) + ".Session";
    const auto stream = askPath(kCast, session.c_str(), interface.c_str(), "RecordMonitor",
                                g_variant_new("(sa{sv})", connector.c_str(), nullptr));
    if (!stream) {
        return std::nullopt;
    }
    // The stream's PipeWire node comes as a signal once the cast starts.
    std::optional<unsigned> node;
    const guint subscription = g_dbus_connection_signal_subscribe(
        bus_, nullptr, (std::string(kCast) + ".Stream").c_str(), "PipeWireStreamAdded", stream->c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
           gpointer data) {
            guint32 id = 0;
            g_variant_get(parameters, "(u)", &id);
            *static_cast<std::optional<unsigned>*>(data) = id;
        },
        &node, nullptr);
    if (call(kCast, session.c_str(), interface.c_str(), "Start", nullptr)) {
        waitFor(
            [&] {
                while (g_main_context_iteration(nullptr, FALSE)) {
                }
                return node.has_value();
            },
            [] { return true; });
    }
    g_dbus_connection_signal_unsubscribe(bus_, subscription);
    return node;
}

std::optional<Screenshot> MutterServer::screenshot(int monitor) const {
    const Monitor& shown = kMonitors[monitor];
    const auto session =
        askPath(kCast, "/org/gnome/Mutter/ScreenCast", kCast, "CreateSession", g_variant_new("(a{sv})", nullptr));
    if (!session) {
        return std::nullopt;
    }
    std::optional<Screenshot> shot;
    if (const auto node = castNode(*session, shown.connector)) {
        const fs::path file = base_ / "shot.rgb";
        HackProcess gst("/usr/bin/gst-launch-1.0",
                        {"-q", "pipewiresrc", "path=" + std::to_string(*node), "num-buffers=1", "!", "videoconvert",
                         "!", "video/x-raw,format=RGB", "!", "filesink", "location=" + file.string()},
                        {{"XDG_RUNTIME_DIR", (base_ / "run").string()}});
        Screenshot frame;
        frame.width = shown.width;
        frame.height = shown.height;
        frame.rgb.resize(static_cast<std::size_t>(shown.width) * static_cast<std::size_t>(shown.height) * 3);
        const bool taken = gst.waitForExit(kStartLimit) == 0;
        std::ifstream in(file, std::ios::binary);
        if (taken && in.read(reinterpret_cast<char*>(frame.rgb.data()), static_cast<std::streamsize>(frame.rgb.size()))) {
            shot = std::move(frame);
        }
    }
    call(kCast, session->c_str(), (std::string(kCast) + ".Session").c_str(), "Stop", nullptr);
    return shot;
}

bool MutterServer::mockService(const std::string& templ, const std::string& name, bool system) {
    std::vector<std::string> arguments{"-m", "dbusmock", "--template", templ};
    if (system) {
        arguments.push_back("--system");
    }
    mocks_.push_back(std::make_unique<HackProcess>(
        "/usr/bin/python3", arguments,
        std::map<std::string, std::string>{{"DBUS_SESSION_BUS_ADDRESS", address_}, {"DBUS_SYSTEM_BUS_ADDRESS", address_}}));
    HackProcess& mock = *mocks_.back();
    return waitFor([&] { return nameRuns(name.c_str()); }, [&] { return mock.running(); });
}

}  // namespace pelmora::testing
