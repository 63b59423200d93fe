#pragma once
// Real input through the X server's XTEST extension, on a connection of the
// test's own: the events reach the windows exactly as a player's would.
// Kept free of Xlib's headers, whose macros clash with Qt's names.
#include <string>

namespace pelmora::testing {

class XInput {
public:
    XInput();
    ~XInput();
    XInput(const XInput&) = delete;
    XInput& operator=(const XInput&) = delete;

    bool connected() const { return display_ != nullptr; }
    void move(int x, int y);
    void button(int number, bool down);  // 1 left, 2 middle, 3 right, 4/5 wheel
    void click(int number = 1);
    // A key by its X keysym name ("Tab", "space", "Escape", "a").
    void key(const std::string& name, bool down);
    void tap(const std::string& name);
    // A key held down while `name` is tapped ("Control_L" and "a").
    void chord(const std::string& held, const std::string& name);
    // Plain ASCII text, with Shift where a character needs it.
    void type(const std::string& text);
    // What a window manager does as the player drags a window's edge.
    void resize(unsigned long window, int width, int height);
    // What a window manager's close button sends: WM_DELETE_WINDOW.
    void closeWindow(unsigned long window);
    // Returns once the server has handled everything sent so far.
    void sync();
    // Whether process `pid` shows a window (mapped and viewable), titled
    // `title` unless that is empty.
    bool showsWindow(long pid, const std::string& title = "");

private:
    void* display_;
};

}  // namespace pelmora::testing
