// Posting an event from a worker thread to an object of the main thread.
#pragma once

class QEvent;
class QObject;

// Posts Event to Receiver; safe from any thread.
void PostToMainThread(QObject* Receiver, QEvent* Event);

// Called by the receiver first, before it reads the event. Qt's event queue hands the event over
// under a lock that ThreadSanitizer cannot see (Debian's Qt is not built with it); this tells it
// about that one hand-over, so the posted event is not taken for a race. A no-op in other builds.
void TakeOverPostedEvent(QEvent* Event);
