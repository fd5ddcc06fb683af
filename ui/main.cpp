// Program entry: the application object, the three windows in order, the main loop.
#include "app/application.h"
#include "core/stop_signals.h"
#include "ui/start_up.h"

int main(int argc, char** argv)
{
    TApplication App(argc, argv);
    PrepareApplication();
    CreateProgramForms();
    // A logout's SIGTERM (or Ctrl+C in the terminal that started it) quits as Exit does, but
    // an export running stops before its next record; the forms' teardown releases the port.
    TStopSignals Stops([](int) { Application->Terminate(); });
    Application->Run();
    const int Signal = TStopSignals::Caught();
    return Signal ? StoppedExitStatus(Signal) : 0;
}
