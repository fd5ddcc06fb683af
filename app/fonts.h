// The window font is Tahoma; systems without it get the face Debian ships with Wine.
#pragma once

// Registers the Wine Tahoma faces when no Tahoma is known, then sets the application font to
// Tahoma at 11 pixels. Falls back to the system's default face when neither exists.
void RegisterFallbackFonts();

// Puts the designed font back, from the loop, when something else (a desktop's platform theme)
// changed the application's font. The application object calls it on its font-change event.
void HoldDesignedFont();

#include <QFont>

// A bold font of the family at the pixel size, or, when that family's bold draws no heavier
// than its regular (Wine's Tahoma at small sizes), the same size in a face with a real bold.
QFont BoldFont(const QString& Family, int PixelSize);
