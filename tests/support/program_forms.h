// Test and benchmark support: the program's start-up and its three windows, the main window
// shown, for programs that drive the tool in their own process.
#pragma once

#include "ui/forms.h"
#include "ui/main_form.h"
#include "ui/start_up.h"

inline void ShowProgramForms()
{
    PrepareApplication();
    CreateProgramForms();
    Form4->show();
}
