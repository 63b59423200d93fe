#include "x_input.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace pelmora::testing {
namespace {
Display* dpy(void* d) { return static_cast<Display*>(d); }
// A window may go away while it is looked at; that is no error here.
int ignoreError(Display*, XErrorEvent*) { return 0; }
}  // namespace

XInput::XInput() : display_(XOpenDisplay(nullptr)) {}

XInput::~XInput() {
    if (display_) XCloseDisplay(dpy(display_));
}

void XInput::move(int x, int y) { XTestFakeMotionEvent(dpy(display_), -1, x, y, CurrentTime); sync(); }

void XInput::button(int number, bool down) {
    XTestFakeButtonEvent(dpy(display_), unsigned(number), down, CurrentTime);
    sync();
}

void XInput::click(int number) {
    button(number, true);
    button(number, false);
}

void XInput::key(const std::string& name, bool down) {
    const KeyCode code = XKeysymToKeycode(dpy(display_), XStringToKeysym(name.c_str()));
    if (code == 0) return;
    XTestFakeKeyEvent(dpy(display_), code, down, CurrentTime);
    sync();
}

void XInput::tap(const std::string& name) {
    key(name, true);
    key(name, false);
}

void XInput::chord(const std::string& held, const std::string& name) {
    key(held, true);
    tap(name);
    key(held, false);
}

void XInput::type(const std::string& text) {
    Display* d = dpy(display_);
    for (const char c : text) {
        // The keysyms of printable ASCII are the characters' own codes.
        const KeySym sym = static_cast<unsigned char>(c);
        const KeyCode code = XKeysymToKeycode(d, sym);
        if (code == 0) continue;
        const bool shifted = XkbKeycodeToKeysym(d, code, 0, 0) != sym;
        if (shifted) key("Shift_L", true);
        XTestFakeKeyEvent(d, code, True, CurrentTime);
        XTestFakeKeyEvent(d, code, False, CurrentTime);
        sync();
        if (shifted) key("Shift_L", false);
    }
}

void XInput::resize(unsigned long window, int width, int height) {
    XResizeWindow(dpy(display_), window, unsigned(width), unsigned(height));
    sync();
}

void XInput::closeWindow(unsigned long window) {
    Display* d = dpy(display_);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, window, False, NoEventMask, &event);
    sync();
}

void XInput::sync() { XSync(dpy(display_), False); }

bool XInput::showsWindow(long pid, const std::string& title) {
    Display* d = dpy(display_);
    XSync(d, False);
    const auto previous = XSetErrorHandler(ignoreError);
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    const Atom nameAtom = XInternAtom(d, "_NET_WM_NAME", False), utf8 = XInternAtom(d, "UTF8_STRING", False);
    auto titled = [&](Window w) {
        if (title.empty()) return true;
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        bool same = false;
        if (XGetWindowProperty(d, w, nameAtom, 0, 1024, False, utf8, &type, &format, &items, &after, &data) ==
                Success && data) {
            same = std::string(reinterpret_cast<char*>(data), items) == title;
            XFree(data);
        }
        return same;
    };
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    bool found = false;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) count = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(d, children[i], &attributes) || attributes.map_state != IsViewable) continue;
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                               &data) == Success && data) {
            found = items == 1 && *reinterpret_cast<long*>(data) == pid;
            XFree(data);
            found = found && titled(children[i]);
        }
    }
    if (children) XFree(children);
    XSync(d, False);
    XSetErrorHandler(previous);
    return found;
}

}  // namespace pelmora::testing
