#pragma once
// Set-up shared by the program and the window tests.
#include <QFont>
#include <functional>

namespace pelmora::ui {

// Fonts that show Japanese on a fresh machine, and the program icon.
void configureApplication();

// The message panel's font: the design's Mincho face or a substitute.
QFont panelFont();

// Runs `close` on the event loop when the session ends or the process is
// sent SIGTERM, SIGHUP or SIGINT, so the run ends the normal way.
void closeOnTermination(std::function<void()> close);

}  // namespace pelmora::ui
