// The main thread's message processing, for any Qt application object, with windows or
// without: the call queue's wake-up, queued calls run whenever the thread goes idle, and waits
// bounded by a timeout. The windowed application owns one; a console program creates its own.
#pragma once

#include <QObject>

class QTimer;

class TMessagePump : public QObject
{
public:
    // Records the calling thread as the main thread and takes over the call queue's wake-up.
    TMessagePump();
    ~TMessagePump() override;

    // Processes every pending message, then returns; never waits.
    void ProcessMessages();
    // Processes what is pending; if nothing was, sleeps until a message arrives or TimeoutMs
    // has passed, whichever comes first.
    void ProcessMessagesOrWait(int TimeoutMs);

protected:
    bool event(QEvent* Event) override;

private:
    QTimer* FWaitTimer;
};

// The one instance, while it exists.
extern TMessagePump* MessagePump;
