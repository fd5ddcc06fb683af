// The skin: every control names its skin section, and one built-in style sheet draws by section.
#pragma once

class QWidget;

// Marks Control as drawn by the given section ("FORM", "PANEL", "TOOLBAR", "TOOLBUTTON",
// "PAGECONTROL", "EDIT", "CHECKBOX", "BUTTON", "GAUGE").
void SetSkinSection(QWidget* Control, const char* Section);

// Loads the built-in style sheet into the application.
void LoadSkin();
