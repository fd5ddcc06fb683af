// The program's start-up between the application object and the main loop, in one place, so
// that the program, its tests and its benchmarks all see the same skinned windows.
#pragma once

// Loads the skin and the application icon and sets the application's title, as the program
// does before it makes any window.
void PrepareApplication();

// Creates the three windows in the program's order: the main window, the port dialog, About.
void CreateProgramForms();
