// Test support: the program's three windows, created once per test binary in the program's
// order, with the main window shown so that the secondary windows centre over it.
#pragma once

#include "app/application.h"
#include "ui/about_form.h"
#include "ui/forms.h"
#include "ui/main_form.h"
#include "ui/port_form.h"
#include "ui/start_up.h"

#include <QTest>

inline void CreateThreeWindows()
{
    if (Form4)
        return;
    CreateProgramForms();
    Form4->show();
    (void)QTest::qWaitForWindowExposed(Form4);
}

// Activation arrives from the window system later than show(); a tool window also counts as
// active while its owner is, so this waits for the application's active window itself.
inline bool WaitActive(QWidget* Window)
{
    return QTest::qWaitFor([Window] { return QApplication::activeWindow() == Window; });
}
