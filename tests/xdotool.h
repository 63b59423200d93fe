#pragma once
// Real X input for the window tests, through xdotool.
#include <gtest/gtest.h>

#include <QCursor>
#include <QPoint>
#include <QTest>
#include <cstdlib>
#include <string>

inline void xdotool(const std::string& args) {
    ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0) << args;
}

// xdotool's --sync waits for a move that never comes when the pointer is
// already there; wait for the position instead.
inline void moveTo(QPoint p) {
    xdotool("mousemove " + std::to_string(p.x()) + " " + std::to_string(p.y()));
    (void)QTest::qWaitFor([&] { return QCursor::pos() == p; }, 2000);
}
