#pragma once
// Runs the Qt event loop while a condition holds, up to a limit, without spinning a core:
// the loop sleeps until an event or the next 10 ms check.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace vexilo::test {

inline void run_events_while(const std::function<bool()>& going, int limit_ms) {
    QElapsedTimer clock;
    clock.start();
    if (!going()) return;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (!going() || clock.elapsed() >= limit_ms) loop.quit();
    });
    check.start(10);
    loop.exec();
}

}  // namespace vexilo::test
