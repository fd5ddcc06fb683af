// The frame's guard: a handler bound to a control runs inside it, and whatever escapes goes to
// the application's exception reporting instead of into Qt.
#pragma once

#include "application.h"
#include "core/notify_event.h"

#include <QObject>
#include <functional>
#include <utility>

template <class F> void RunGuarded(QObject* Sender, F&& Handler) noexcept
{
    try {
        std::forward<F>(Handler)();
    } catch (...) {
        if (Application)
            Application->HandleException(Sender);
    }
}

// Wraps a handler for connect(): Guarded(button, [this] { sSpeedButton2Click(sSpeedButton2); })
template <class F> auto Guarded(QObject* Sender, F Handler)
{
    return [Sender, Handler = std::move(Handler)](auto&&...) { RunGuarded(Sender, Handler); };
}
