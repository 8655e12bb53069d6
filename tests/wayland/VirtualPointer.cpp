// A pointer device for a compositor that has none: a headless sway offers no
// pointer to its clients until some device exists. Creates a virtual pointer,
// holds it long enough for clients to take up the new pointer, then moves or
// clicks it.
//   pelmora_test_pointer [--hold MS] move DX DY [COUNT]
//   pelmora_test_pointer [--hold MS] click
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "virtual-pointer-unstable-v1-client-protocol.h"

namespace {

constexpr std::uint32_t kLeftButton = 0x110;  // BTN_LEFT

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == nullptr) {
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        globals->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}

void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

std::uint32_t now() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count() & 0xffffffffU);
}

void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

int usage() {
    std::fputs("usage: pelmora_test_pointer [--hold MS] move DX DY [COUNT] | click\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int next = 1;
    int hold = 500;
    if (next + 1 < argc && std::strcmp(argv[next], "--hold") == 0) {
        hold = std::atoi(argv[next + 1]);
        next += 2;
    }
    if (next >= argc) {
        return usage();
    }
    const std::string action = argv[next];
    const bool move = action == "move" && next + 2 < argc;
    if (!move && action != "click") {
        return usage();
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fputs("pelmora_test_pointer: no Wayland display\n", stderr);
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.manager == nullptr) {
        std::fputs("pelmora_test_pointer: the compositor has no virtual pointers\n", stderr);
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager,
                                                                                              globals.seat);
    wl_display_roundtrip(display);
    pause(hold);
    if (move) {
        const double dx = std::atof(argv[next + 1]);
        const double dy = std::atof(argv[next + 2]);
        const int count = next + 3 < argc ? std::atoi(argv[next + 3]) : 1;
        for (int step = 0; step < count; ++step) {
            zwlr_virtual_pointer_v1_motion(pointer, now(), wl_fixed_from_double(dx), wl_fixed_from_double(dy));
            zwlr_virtual_pointer_v1_frame(pointer);
            wl_display_roundtrip(display);
            pause(100);
        }
    } else {
        zwlr_virtual_pointer_v1_button(pointer, now(), kLeftButton, WL_POINTER_BUTTON_STATE_PRESSED);
        zwlr_virtual_pointer_v1_frame(pointer);
        zwlr_virtual_pointer_v1_button(pointer, now(), kLeftButton, WL_POINTER_BUTTON_STATE_RELEASED);
        zwlr_virtual_pointer_v1_frame(pointer);
    }
    wl_display_roundtrip(display);
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(globals.manager);
    if (globals.seat != nullptr) {
        wl_seat_destroy(globals.seat);
    }
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
