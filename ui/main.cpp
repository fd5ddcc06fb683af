// Program entry: the application object, the three windows in order, the main loop.
#include "app/application.h"
#include "ui/start_up.h"

int main(int argc, char** argv)
{
    TApplication App(argc, argv);
    PrepareApplication();
    CreateProgramForms();
    Application->Run();
    return 0;
}
