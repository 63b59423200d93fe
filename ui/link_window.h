#pragma once
// The small browser windows opened from the credits window: Form4, Form5
// and Form6, one design that differs only in the page it holds.
#include <QPoint>
#include <QWidget>

class QLineEdit;

namespace pelmora::ui {

class Browser;

struct LinkPage {
    const char* window;   // the window's object name
    const char* address;  // also the caption of the credits label that opens it
    QPoint origin;        // screen pixel of the client area's top-left corner
};

inline constexpr LinkPage kCharacterPage{"Form4", "https://pelmora.example/character/", {317, 305}};
inline constexpr LinkPage kSoundPage{"Form5", "https://pelmora.example/sounds/", {303, 305}};
inline constexpr LinkPage kAuthorPage{"Form6", "https://pelmora.example/author/", {360, 291}};

class LinkWindow : public QWidget {
    Q_OBJECT
public:
    // Brings the page's window to the front; when it is not open, creates
    // it, loads it and shows it.
    static LinkWindow* open(const LinkPage& page);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    explicit LinkWindow(const LinkPage& page);

    void loadPage();
    void fitBrowser();

    QLineEdit* address_;  // Text1
    Browser* browser_;    // WebBrowser1
};

}  // namespace pelmora::ui
