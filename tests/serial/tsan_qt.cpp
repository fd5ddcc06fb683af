// Qt is not built with ThreadSanitizer, so the lock inside QCoreApplication::postEvent is
// invisible to it: an event built on one thread and read by its receiver on the main thread
// looks like a race. These receivers only read the posted event itself.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:TApplication::TAppWindow::event\n"
           "race:TComEventWindow::event\n";
}
