#include "application.h"

#include "call_queue.h"
#include "exceptions.h"
#include "fonts.h"

#include <QAbstractEventDispatcher>
#include <QEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

TApplication* Application = nullptr;

namespace {

// A wake-up goes from a worker to the main thread through Qt's event queue, whose lock
// ThreadSanitizer cannot see (Debian's Qt is not built with it). These tell it about that one
// hand-over, so the posted event is not taken for a race; they cost nothing in other builds.
#if defined(__SANITIZE_THREAD__)
#define MORVEL_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MORVEL_TSAN 1
#endif
#endif
#ifdef MORVEL_TSAN
extern "C" void __tsan_acquire(void* Address);
extern "C" void __tsan_release(void* Address);
void HandOver(QEvent* Event) { __tsan_release(Event); }
void TakeOver(QEvent* Event) { __tsan_acquire(Event); }
#else
void HandOver(QEvent*) {}
void TakeOver(QEvent*) {}
#endif

// The stand-ins for the null wake-up message and the quit message.
const QEvent::Type WakeUpEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type QuitEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
} // namespace

// The hidden application window: it receives the call queue's wake-ups and the quit request.
class TApplication::TAppWindow : public QObject
{
public:
    explicit TAppWindow(TApplication* Owner) : FOwner(Owner) {}

protected:
    bool event(QEvent* Event) override
    {
        TakeOver(Event);
        if (Event->type() == WakeUpEvent) {
            CheckSynchronize();
            return true;
        }
        if (Event->type() == QuitEvent) {
            FOwner->TakeQuitRequest();
            return true;
        }
        return QObject::event(Event);
    }

private:
    TApplication* FOwner;
};

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    Application = this;
    SetMainThread();
    setQuitOnLastWindowClosed(false);
    FAppWindow = new TAppWindow(this);
    FAppWindow->setObjectName(QStringLiteral("TApplication"));
    SetWakeMainThread([W = FAppWindow] {
        auto* WakeUp = new QEvent(WakeUpEvent);
        HandOver(WakeUp);
        QCoreApplication::postEvent(W, WakeUp);
    });
    FWaitTimer = new QTimer(this);
    FWaitTimer->setSingleShot(true);
    FWaitTimer->setTimerType(Qt::PreciseTimer);
    RegisterFallbackFonts();
    // Idle processing: whenever the main thread is about to sleep for messages, queued calls
    // run first (the posted wake-up covers the rest).
    if (QAbstractEventDispatcher* Dispatcher = QAbstractEventDispatcher::instance())
        connect(Dispatcher, &QAbstractEventDispatcher::aboutToBlock, FAppWindow,
                [] { CheckSynchronize(); });
}

TApplication::~TApplication()
{
    DestroyForms();
    SetWakeMainThread(nullptr);
    delete FAppWindow;
    if (Application == this)
        Application = nullptr;
}

void TApplication::AddForm(QWidget* Form, std::function<void()> ClearReference)
{
    FForms.push_back({Form, std::move(ClearReference)});
}

void TApplication::Run()
{
    FTerminated = false;
    if (QWidget* Main = MainForm())
        Main->show();
    QEventLoop Loop;
    FLoop = &Loop;
    while (!FTerminated)
        Loop.exec(); // exits when the quit request is taken
    FLoop = nullptr;
    DestroyForms();
}

void TApplication::Terminate() { QCoreApplication::postEvent(FAppWindow, new QEvent(QuitEvent)); }

void TApplication::TakeQuitRequest()
{
    FTerminated = true;
    if (FLoop)
        FLoop->exit(0);
}

void TApplication::ProcessMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::ProcessMessagesOrWait(int TimeoutMs)
{
    if (TimeoutMs <= 0) {
        ProcessMessages();
        return;
    }
    // The timer is itself an event source, so the wait ends at the deadline at the latest.
    FWaitTimer->start(TimeoutMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    FWaitTimer->stop();
}

void TApplication::HandleMessage()
{
    if (CheckSynchronize())
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void TApplication::DestroyForms()
{
    for (auto& Owned : FForms)
        Owned.Form->hide();
    while (!FForms.empty()) {
        TOwnedForm Owned = std::move(FForms.back());
        FForms.pop_back();
        delete Owned.Form;
        Owned.ClearReference();
    }
}

bool TApplication::notify(QObject* Receiver, QEvent* Event)
{
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        HandleException(Receiver);
        return false;
    }
}

void TApplication::HandleException(QObject* /*Sender*/)
{
    // The stand-in for the cancel-mode message: a window holding the mouse lets it go.
    if (QWidget* Grabber = QWidget::mouseGrabber())
        Grabber->releaseMouse();
    try {
        throw;
    } catch (const EAbort&) {
    } catch (const std::exception& E) {
        ShowException(E);
    } catch (...) {
        ShowException(Exception(QStringLiteral("Unknown exception")));
    }
}

QString ErrorBoxText(const QString& Message)
{
    if (!Message.isEmpty() && Message.back().unicode() > u'.')
        return Message + u'.';
    return Message;
}

void TApplication::ShowException(const std::exception& E)
{
    QPointer<QWidget> WasActive = QApplication::activeWindow();
    QPointer<QWidget> HadFocus = QApplication::focusWidget();
    QMessageBox Box(QMessageBox::Critical, Title, ErrorBoxText(ExceptionMessage(E)), QMessageBox::Ok,
                    WasActive.data());
    Box.setObjectName(QStringLiteral("ErrorBox"));
    Box.setTextFormat(Qt::PlainText);
    // Application-modal: every other top-level window takes no input while the box is up.
    Box.setWindowModality(Qt::ApplicationModal);
    Box.exec();
    if (WasActive)
        WasActive->activateWindow();
    if (HadFocus)
        HadFocus->setFocus(Qt::OtherFocusReason);
}
