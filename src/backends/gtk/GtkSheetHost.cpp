#include "GtkSheetHost.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "GtkSheetWindow.h"
#include "GtkSpinControl.h"
#include "GtkToggleControl.h"
#include "SettingText.h"
#include "SettingsSchema.h"

// Defined by the source that glib-compile-resources generates from
// pelmora.gresource.xml (compiled as C++, hence no C linkage).
GResource* pelmora_get_resource();
void pelmora_register_resource();

namespace pelmora {

namespace {

constexpr std::string_view kCancelAction = "cancel:";
constexpr std::string_view kResetAction = "resetToDefaults:";

// One handler of the interface file bound to the owner's action of that name.
struct ActionBinding {
    SheetOwner* owner;
    std::string action;
    std::string fileName;
    GtkSheetHost::MessageSink* sink;
};

void sendAction(const ActionBinding& binding) {
    if (!binding.owner->performAction(binding.action) && *binding.sink) {
        (*binding.sink)("pelmora: " + binding.fileName + ": the sheet has no action " + quoteForMessage(binding.action));
    }
}

// Connected swapped, so the binding comes first; GTK passes the emitting
// object and signal arguments after it, which the action ignores as a sender.
void onAction(ActionBinding* binding) { sendAction(*binding); }

gboolean onDeleteEvent(ActionBinding* binding) {
    // Closing the sheet by its window (Escape or the title bar) is a Cancel;
    // the window itself must survive, since the owner keeps it for reopening.
    sendAction(*binding);
    return TRUE;
}

void freeBinding(gpointer binding, GClosure*) { delete static_cast<ActionBinding*>(binding); }

gboolean onMapped(GtkWidget* window, GdkEvent*, gpointer) {
    // Only a mapped window can take the keyboard (a window shown without a
    // window manager never gets it on its own), and a sheet without it
    // leaves Escape and the mnemonics to the window behind it.
    gtk_window_present_with_time(GTK_WINDOW(window), GDK_CURRENT_TIME);
    return FALSE;
}

// The room a window manager's title bar and frame take above a dialog.
constexpr int kFrameAllowance = 48;
// Below this a scrolling list of options is of no use; the dialog may then
// reach past the screen.
constexpr int kLeastScrollHeight = 96;

// The first scrolled window inside `widget`, or null.
GtkScrolledWindow* findScroller(GtkWidget* widget) {
    if (GTK_IS_SCROLLED_WINDOW(widget)) {
        return GTK_SCROLLED_WINDOW(widget);
    }
    if (!GTK_IS_CONTAINER(widget)) {
        return nullptr;
    }
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    GtkScrolledWindow* found = nullptr;
    for (GList* child = children; child != nullptr && found == nullptr; child = child->next) {
        found = findScroller(GTK_WIDGET(child->data));
    }
    g_list_free(children);
    return found;
}

GdkMonitor* monitorOf(GtkWindow* window) {
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
    GdkWindow* shown = gtk_widget_get_window(GTK_WIDGET(window));
    GdkMonitor* monitor = shown != nullptr ? gdk_display_get_monitor_at_window(display, shown) : nullptr;
    if (monitor == nullptr) {
        monitor = gdk_display_get_primary_monitor(display);
    }
    return monitor != nullptr ? monitor : gdk_display_get_monitor(display, 0);
}

// Lets the sheet's scrolled part grow only as far as keeps the whole
// dialog, its buttons included, within the work area of `near`'s monitor.
void fitToMonitor(GtkWindow* sheet, GtkWindow* near) {
    GtkScrolledWindow* scroller = findScroller(GTK_WIDGET(sheet));
    GdkMonitor* monitor = monitorOf(near != nullptr ? near : sheet);
    if (scroller == nullptr || monitor == nullptr) {
        return;
    }
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    gtk_scrolled_window_set_max_content_height(scroller, -1);
    int sheetHeight = 0;
    int contentHeight = 0;
    gtk_widget_get_preferred_height(GTK_WIDGET(sheet), nullptr, &sheetHeight);
    gtk_widget_get_preferred_height(GTK_WIDGET(scroller), nullptr, &contentHeight);
    const int room = area.height - kFrameAllowance - (sheetHeight - contentHeight);
    gtk_scrolled_window_set_max_content_height(scroller, std::max(room, kLeastScrollHeight));
}

struct ConnectContext {
    SheetOwner* owner;
    std::string fileName;
    GtkSheetHost::MessageSink* sink;
};

std::unique_ptr<SheetControl> makeControl(GObject* object);

// The sheet's controls with the settings they edit; the widgets live as long
// as the window that holds the button this is bound to.
struct ResetBinding {
    std::vector<std::pair<GObject*, const Setting*>> controls;
};

// Sets each control as the view fills it from a value of the setting's type.
void onReset(ResetBinding* binding) {
    for (const auto& [object, setting] : binding->controls) {
        const std::unique_ptr<SheetControl> control = makeControl(object);
        if (!control) {
            continue;
        }
        switch (setting->type) {
            case SettingType::Boolean: control->setState(registeredBool(*setting) ? 1 : 0); break;
            case SettingType::Float: control->setFloatValue(registeredFloat(*setting)); break;
            case SettingType::Integer: control->setIntValue(registeredInteger(*setting)); break;
        }
    }
}

void freeResetBinding(gpointer binding, GClosure*) { delete static_cast<ResetBinding*>(binding); }

void connectReset(GtkBuilder* builder, GObject* object, const gchar* signalName) {
    auto* binding = new ResetBinding;
    for (const Setting& setting : kSettings) {
        const std::string id(setting.outlet);
        if (GObject* control = gtk_builder_get_object(builder, id.c_str())) {
            binding->controls.emplace_back(control, &setting);
        }
    }
    g_signal_connect_data(object, signalName, G_CALLBACK(onReset), binding, freeResetBinding, G_CONNECT_SWAPPED);
}

void connectSignal(GtkBuilder* builder, GObject* object, const gchar* signalName, const gchar* handlerName,
                   GObject*, GConnectFlags, gpointer data) {
    auto* context = static_cast<ConnectContext*>(data);
    if (handlerName == kResetAction) {
        connectReset(builder, object, signalName);
        return;
    }
    auto* binding = new ActionBinding{context->owner, handlerName, context->fileName, context->sink};
    g_signal_connect_data(object, signalName, G_CALLBACK(onAction), binding, freeBinding, G_CONNECT_SWAPPED);
}

void destroyToplevels(GtkBuilder* builder) {
    GSList* objects = gtk_builder_get_objects(builder);
    for (GSList* item = objects; item != nullptr; item = item->next) {
        if (GTK_IS_WINDOW(item->data)) {
            gtk_widget_destroy(GTK_WIDGET(item->data));
        }
    }
    g_slist_free(objects);
}

std::unique_ptr<SheetControl> makeControl(GObject* object) {
    // Spin buttons first: GtkSpinButton is not a toggle, but check buttons are.
    if (GTK_IS_SPIN_BUTTON(object)) {
        return std::make_unique<GtkSpinControl>(GTK_SPIN_BUTTON(object));
    }
    if (GTK_IS_TOGGLE_BUTTON(object)) {
        return std::make_unique<GtkToggleControl>(GTK_TOGGLE_BUTTON(object));
    }
    return nullptr;
}

GResource* programResources() {
    // GLib links each registration into a list, so registering twice would
    // corrupt it: once for the life of the program.
    static GResource* const resource = [] {
        pelmora_register_resource();
        return pelmora_get_resource();
    }();
    return resource;
}

bool isPlainName(std::string_view name) {
    return !name.empty() && name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

}  // namespace

GtkSheetHost::GtkSheetHost(SheetOutlets outlets, std::string resourcePrefix)
    : outlets_(std::move(outlets)),
      resourcePrefix_(std::move(resourcePrefix)),
      sink_([](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); }) {}

void GtkSheetHost::report(const std::string& fileName, const std::string& problem) const {
    if (sink_) {
        sink_("pelmora: " + fileName + ": " + problem);
    }
}

bool GtkSheetHost::loadNibNamed(std::string_view name, SheetOwner& owner) {
    const std::string fileName = std::string(name) + ".ui";
    if (!isPlainName(name)) {
        report(fileName, "not the name of an interface file");
        return false;
    }
    const std::string path = resourcePrefix_ + fileName;
    GError* error = nullptr;
    GBytes* bytes = g_resource_lookup_data(programResources(), path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, &error);
    if (bytes == nullptr) {
        report(fileName, std::string("is not among the program's resources: ") +
                             (error != nullptr ? error->message : "unknown error"));
        g_clear_error(&error);
        return false;
    }
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    const bool loaded = loadFromString(std::string_view(data, size), fileName, owner);
    g_bytes_unref(bytes);
    return loaded;
}

bool GtkSheetHost::loadFromString(std::string_view text, std::string_view fileName, SheetOwner& owner) {
    GtkBuilder* builder = gtk_builder_new();
    GError* error = nullptr;
    const std::string name(fileName);
    bool loaded = gtk_builder_add_from_string(builder, text.data(), static_cast<gssize>(text.size()), &error) != 0;
    if (!loaded) {
        report(name, std::string("could not be loaded: ") + (error != nullptr ? error->message : "unknown error"));
        g_clear_error(&error);
        destroyToplevels(builder);
    } else {
        loaded = connect(builder, name, owner);
    }
    g_object_unref(builder);
    return loaded;
}

bool GtkSheetHost::connect(GtkBuilder* builder, const std::string& fileName, SheetOwner& owner) {
    GObject* windowObject = gtk_builder_get_object(builder, outlets_.window.c_str());
    if (windowObject == nullptr || !GTK_IS_WINDOW(windowObject)) {
        // Without its window the sheet cannot be shown at all.
        report(fileName, "has no window with id \"" + outlets_.window + "\"");
        destroyToplevels(builder);
        return false;
    }
    GtkWindow* window = GTK_WINDOW(windowObject);
    gtk_widget_hide(GTK_WIDGET(window));
    if (!owner.connectWindow(outlets_.window, std::make_unique<GtkSheetWindow>(window))) {
        report(fileName, "the owner has no outlet \"" + outlets_.window + "\"");
        destroyToplevels(builder);
        return false;
    }
    connectControls(builder, fileName, owner);

    ConnectContext context{&owner, fileName, &sink_};
    gtk_builder_connect_signals_full(builder, connectSignal, &context);
    auto* cancel = new ActionBinding{&owner, std::string(kCancelAction), fileName, &sink_};
    g_signal_connect_data(window, "delete-event", G_CALLBACK(onDeleteEvent), cancel, freeBinding, G_CONNECT_SWAPPED);
    g_signal_connect(window, "map-event", G_CALLBACK(onMapped), nullptr);
    return true;
}

void GtkSheetHost::connectControls(GtkBuilder* builder, const std::string& fileName, SheetOwner& owner) {
    // A missing control is reported and left unconnected; the rest of the
    // sheet still works, and the view leaves that setting as it is.
    for (const std::string& id : outlets_.controls) {
        GObject* object = gtk_builder_get_object(builder, id.c_str());
        if (object == nullptr) {
            report(fileName, "has no control with id \"" + id + "\"");
            continue;
        }
        std::unique_ptr<SheetControl> control = makeControl(object);
        if (!control) {
            report(fileName, "\"" + id + "\" is a " + G_OBJECT_TYPE_NAME(object) +
                                 ", not a spin button or check button");
            continue;
        }
        if (!owner.connectControl(id, std::move(control))) {
            report(fileName, "the owner has no outlet \"" + id + "\"");
        }
    }
}

void GtkSheetHost::hide(SheetWindow& sheet) {
    if (auto* gtkSheet = dynamic_cast<GtkSheetWindow*>(&sheet)) {
        gtk_widget_hide(GTK_WIDGET(gtkSheet->window()));
    }
}

void GtkSheetHost::endSheet(SheetWindow& sheet, std::int64_t returnCode) {
    hide(sheet);
    if (ended_) {
        ended_(returnCode);
    }
}

void GtkSheetHost::endSheet(SheetWindow& sheet) {
    hide(sheet);
    if (ended_) {
        ended_(std::nullopt);
    }
}

void GtkSheetHost::present(SheetWindow& sheet, GtkWindow* parent) {
    auto* gtkSheet = dynamic_cast<GtkSheetWindow*>(&sheet);
    if (gtkSheet == nullptr) {
        return;
    }
    GtkWindow* window = gtkSheet->window();
    gtk_window_set_transient_for(window, parent);
    gtk_window_set_modal(window, TRUE);
    fitToMonitor(window, parent);
    // GTK keeps a dialog centred on its parent within the monitor's work area.
    gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_present(window);
}

}  // namespace pelmora
