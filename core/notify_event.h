// The framework's plain event handler type, shared by the components and the widget frame.
#pragma once

#include <functional>

class QObject;

// Sender is the object whose event it is.
using TNotifyEvent = std::function<void(QObject* Sender)>;
