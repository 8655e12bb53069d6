#include "PelmoraWindow.h"

#include <cstdio>

#include "DesktopKeys.h"

namespace pelmora {

namespace {

constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 600;

}  // namespace

ViewArea::Options PelmoraWindow::viewOptions(const Options& options) {
    ViewArea::Options view = options.view;
    if (options.saver) {
        view.monitor = options.monitor;
    }
    return view;
}

PelmoraWindow::PelmoraWindow(SettingsStores& stores, Options options, std::function<void()> requestClose)
    : options_(std::move(options)),
      requestClose_(std::move(requestClose)),
      window_(GTK_WIDGET(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)))),
      area_(std::make_unique<ViewArea>(stores, viewOptions(options_))) {
    gtk_window_set_title(GTK_WINDOW(window_), "Pelmora");
    g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
    g_signal_connect(window_, "window-state-event", G_CALLBACK(onWindowState), this);
    sight_.emplace(window_, *area_, options_.view.verbose,
                   options_.saver && options_.monitor != nullptr ? ViewArea::monitorName(options_.monitor) : "");

    area_->sheetHost().setEndedHandler([this](std::optional<std::int64_t> code) { sheetEnded(code); });
    area_->sheetHost().setMessageSink([this](const std::string& message) {
        std::fprintf(stderr, "%s\n", message.c_str());
        lastSheetMessage_ = message;
    });

    if (options_.saver) {
        gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
        saverInput_.emplace(window_, requestClose_);
        gtk_container_add(GTK_CONTAINER(window_), area_->widget());
        placeOnMonitor();
    } else {
        g_signal_connect(window_, "key-press-event", G_CALLBACK(onKeyPress), this);
        buildDesktopChrome();
    }
}

PelmoraWindow::~PelmoraWindow() {
    g_signal_handlers_disconnect_by_data(window_, this);
    saverInput_.reset();
    sight_.reset();
    // The view (and with it the sheet, transient for this window) goes before the window.
    area_.reset();
    gtk_widget_destroy(window_);
    g_object_unref(window_);
}

void PelmoraWindow::buildDesktopChrome() {
    gtk_window_set_default_size(GTK_WINDOW(window_), kDefaultWidth, kDefaultHeight);

    GtkWidget* header = gtk_header_bar_new();
    gtk_header_bar_set_title(GTK_HEADER_BAR(header), "Pelmora");
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(header), TRUE);
    GtkWidget* optionsButton = gtk_button_new_with_mnemonic("_Options…");
    gtk_widget_set_tooltip_text(optionsButton, "Change the spheres, their speed and the field (O)");
    g_signal_connect(optionsButton, "clicked", G_CALLBACK(onOptionsClicked), this);
    gtk_header_bar_pack_end(GTK_HEADER_BAR(header), optionsButton);
    gtk_window_set_titlebar(GTK_WINDOW(window_), header);

    // Problems the user must know about (a save that failed) show in the
    // window itself: a desktop user may never see the terminal.
    infoBar_ = gtk_info_bar_new();
    gtk_info_bar_set_message_type(GTK_INFO_BAR(infoBar_), GTK_MESSAGE_ERROR);
    gtk_info_bar_set_show_close_button(GTK_INFO_BAR(infoBar_), TRUE);
    infoLabel_ = gtk_label_new("");
    gtk_label_set_line_wrap(GTK_LABEL(infoLabel_), TRUE);
    gtk_label_set_xalign(GTK_LABEL(infoLabel_), 0.0F);
    gtk_container_add(GTK_CONTAINER(gtk_info_bar_get_content_area(GTK_INFO_BAR(infoBar_))), infoLabel_);
    g_signal_connect(infoBar_, "response", G_CALLBACK(onInfoResponse), this);
    gtk_widget_set_no_show_all(infoBar_, TRUE);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(box), infoBar_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), area_->widget(), TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(window_), box);
}

void PelmoraWindow::placeOnMonitor() {
    if (options_.monitor == nullptr) {
        gtk_window_fullscreen(GTK_WINDOW(window_));
        return;
    }
    GdkRectangle geometry;
    gdk_monitor_get_geometry(options_.monitor, &geometry);
    // Position and size by hand as well: without a window manager the
    // full-screen request alone would leave a small window in the corner.
    gtk_window_move(GTK_WINDOW(window_), geometry.x, geometry.y);
    gtk_window_set_default_size(GTK_WINDOW(window_), geometry.width, geometry.height);
    gtk_window_fullscreen_on_monitor(GTK_WINDOW(window_), gtk_window_get_screen(GTK_WINDOW(window_)),
                                     options_.monitorIndex);
}

void PelmoraWindow::show() { gtk_widget_show_all(window_); }

void PelmoraWindow::openOptions() {
    PelmoraView* view = area_->view();
    if (view == nullptr || !view->hasConfigureSheet()) {
        return;
    }
    lastSheetMessage_.clear();
    SheetWindow* sheet = view->configureSheet();
    if (sheet == nullptr) {
        showProblem("The options could not be opened. " + lastSheetMessage_);
        return;
    }
    GtkSheetHost::present(*sheet, GTK_WINDOW(window_));
}

void PelmoraWindow::sheetEnded(std::optional<std::int64_t> returnCode) {
    PelmoraView* view = area_->view();
    if (!returnCode || view == nullptr) {
        return;
    }
    if (view->lastSaveSucceeded()) {
        if (infoBar_ != nullptr) {
            gtk_widget_hide(infoBar_);
        }
        return;
    }
    showProblem("The new options are in use, but they could not be saved for next time: " + view->lastSaveError());
}

void PelmoraWindow::showProblem(const std::string& text) {
    std::fprintf(stderr, "pelmora: %s\n", text.c_str());
    if (infoBar_ == nullptr) {
        return;
    }
    gtk_label_set_text(GTK_LABEL(infoLabel_), text.c_str());
    gtk_widget_show(infoLabel_);
    gtk_widget_show(infoBar_);
}

gboolean PelmoraWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
    // The owner tears the window down after its main loop ends.
    static_cast<PelmoraWindow*>(self)->requestClose_();
    return TRUE;
}

gboolean PelmoraWindow::onKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
    return static_cast<PelmoraWindow*>(self)->handleDesktopKey(*event) ? TRUE : FALSE;
}

bool PelmoraWindow::handleDesktopKey(const GdkEventKey& event) {
    switch (DesktopKeys::actionFor(event.keyval, static_cast<GdkModifierType>(event.state), fullscreen_)) {
        case DesktopKeys::Action::Quit:
            requestClose_();
            return true;
        case DesktopKeys::Action::LeaveFullscreen:
            area_->remakeAtNextSize();
            gtk_window_unfullscreen(GTK_WINDOW(window_));
            return true;
        case DesktopKeys::Action::ToggleFullscreen:
            area_->remakeAtNextSize();
            if (fullscreen_) {
                gtk_window_unfullscreen(GTK_WINDOW(window_));
            } else {
                gtk_window_fullscreen(GTK_WINDOW(window_));
            }
            return true;
        case DesktopKeys::Action::OpenOptions:
            openOptions();
            return true;
        case DesktopKeys::Action::ShowKeys:
            showKeys();
            return true;
        case DesktopKeys::Action::None:
            return false;
    }
    return false;
}

void PelmoraWindow::showKeys() {
    const auto flags = static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT);
    GtkWidget* dialog = gtk_message_dialog_new(GTK_WINDOW(window_), flags, GTK_MESSAGE_OTHER, GTK_BUTTONS_CLOSE, "%s",
                                               "Keys");
    gtk_window_set_title(GTK_WINDOW(dialog), "Pelmora Keys");
    // Two columns, key and meaning, from the description's tab-separated lines.
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_column_spacing(GTK_GRID(grid), 18);
    gtk_grid_set_row_spacing(GTK_GRID(grid), 4);
    gchar** lines = g_strsplit(DesktopKeys::description(), "\n", -1);
    for (int row = 0; lines[row] != nullptr; ++row) {
        gchar** columns = g_strsplit(lines[row], "\t", 2);
        for (int column = 0; column < 2 && columns[column] != nullptr; ++column) {
            GtkWidget* label = gtk_label_new(columns[column]);
            gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
            gtk_grid_attach(GTK_GRID(grid), label, column, row, 1, 1);
        }
        g_strfreev(columns);
    }
    g_strfreev(lines);
    gtk_container_add(GTK_CONTAINER(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog))), grid);
    gtk_widget_show_all(grid);
    // Any answer (Close, Escape, the window's close button) ends it.
    g_signal_connect(dialog, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    gtk_widget_show(dialog);
}

gboolean PelmoraWindow::onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self) {
    static_cast<PelmoraWindow*>(self)->fullscreen_ = (event->new_window_state & GDK_WINDOW_STATE_FULLSCREEN) != 0;
    return FALSE;
}

void PelmoraWindow::onOptionsClicked(GtkButton*, gpointer self) { static_cast<PelmoraWindow*>(self)->openOptions(); }

void PelmoraWindow::onInfoResponse(GtkInfoBar* bar, gint, gpointer) { gtk_widget_hide(GTK_WIDGET(bar)); }

}  // namespace pelmora
