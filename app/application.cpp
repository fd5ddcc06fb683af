#include "application.h"

#include "boxes.h"
#include "core/call_queue.h"
#include "core/exceptions.h"
#include "fonts.h"
#include "core/message_pump.h"

#include <QEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QWidget>

TApplication* Application = nullptr;

namespace {
// The stand-in for the quit message.
const QEvent::Type QuitEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
} // namespace

// The hidden application window: it receives the quit request.
class TApplication::TAppWindow : public QObject
{
public:
    explicit TAppWindow(TApplication* Owner) : FOwner(Owner) {}

protected:
    bool event(QEvent* Event) override
    {
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
    setQuitOnLastWindowClosed(false);
    FPump = new TMessagePump();
    FAppWindow = new TAppWindow(this);
    FAppWindow->setObjectName(QStringLiteral("TApplication"));
    SetExceptionReporter([this](QObject* Sender) { HandleException(Sender); });
    RegisterFallbackFonts();
}

bool TApplication::event(QEvent* Event)
{
    if (Event->type() == QEvent::ApplicationFontChange)
        HoldDesignedFont();
    return QApplication::event(Event);
}

TApplication::~TApplication()
{
    DestroyForms();
    SetExceptionReporter(nullptr);
    delete FAppWindow;
    delete FPump;
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

void TApplication::ProcessMessages() { FPump->ProcessMessages(); }

void TApplication::ProcessMessagesOrWait(int TimeoutMs) { FPump->ProcessMessagesOrWait(TimeoutMs); }

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

void TApplication::ShowException(const std::exception& E)
{
    QPointer<QWidget> WasActive = QApplication::activeWindow();
    QPointer<QWidget> HadFocus = QApplication::focusWidget();
    QMessageBox Box(QMessageBox::Critical, Title, ErrorReportText(E), QMessageBox::Ok,
                    WasActive.data());
    Box.setObjectName(QStringLiteral("ErrorBox"));
    Box.setTextFormat(Qt::PlainText);
    LetTextBeCopied(Box);
    // Application-modal: every other top-level window takes no input while the box is up.
    Box.setWindowModality(Qt::ApplicationModal);
    Box.exec();
    if (WasActive)
        WasActive->activateWindow();
    if (HadFocus)
        HadFocus->setFocus(Qt::OtherFocusReason);
}
