// The application object: title, the owned windows, the main loop, message processing on
// demand, and exception reporting. One per process, created first in main().
#pragma once

#include "core/box_texts.h"

#include <QApplication>
#include <QPointer>
#include <QString>
#include <exception>
#include <functional>
#include <new>
#include <vector>

class QEventLoop;
class TMessagePump;

class TApplication : public QApplication
{
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    QString Title;
    bool MainFormOnTaskBar = false;

    // Prepares the application object; nothing relies on it.
    void Initialize() {}

    // Creates a window owned by the application. The reference holds the instance before its
    // constructor runs (so the window's own code can use it); a failing constructor clears it.
    // The first window created becomes the main window.
    template <class T> void CreateForm(T*& Reference);

    QWidget* MainForm() const { return FForms.empty() ? nullptr : FForms.front().Form; }

    // Shows the main window and processes messages until the quit request is taken, then
    // destroys the windows, the last created first.
    void Run();
    // Posts the quit request; the main loop ends once control returns to it.
    void Terminate();
    bool Terminated() const { return FTerminated; }

    // Processes every pending message, then returns; never waits.
    void ProcessMessages();
    // Processes what is pending; if nothing was, sleeps until a message arrives or TimeoutMs
    // has passed, whichever comes first.
    void ProcessMessagesOrWait(int TimeoutMs);
    // Processes one batch of messages; when none is pending, runs the queued calls first and
    // otherwise waits for the next message.
    void HandleMessage();

    // Call from inside a catch block: reports the exception being handled (EAbort is silent).
    void HandleException(QObject* Sender);
    // The error box: caption Title, the message with the full-stop rule, error icon, OK.
    void ShowException(const std::exception& E);

    // The frame's guard for every delivered event: nothing escapes into Qt.
    bool notify(QObject* Receiver, QEvent* Event) override;

protected:
    bool event(QEvent* Event) override;

private:
    struct TOwnedForm
    {
        QWidget* Form;
        std::function<void()> ClearReference;
    };
    void AddForm(QWidget* Form, std::function<void()> ClearReference);
    void DestroyForms();
    void TakeQuitRequest();

    class TAppWindow;
    TAppWindow* FAppWindow = nullptr;
    std::vector<TOwnedForm> FForms;
    bool FTerminated = false;
    QPointer<QEventLoop> FLoop;
    TMessagePump* FPump = nullptr;
};

extern TApplication* Application;


template <class T> void TApplication::CreateForm(T*& Reference)
{
    void* Memory = ::operator new(sizeof(T));
    Reference = static_cast<T*>(Memory);
    T* Instance = nullptr;
    try {
        Instance = new (Memory) T();
    } catch (...) {
        Reference = nullptr;
        ::operator delete(Memory);
        throw;
    }
    AddForm(Instance, [&Reference] { Reference = nullptr; });
}
