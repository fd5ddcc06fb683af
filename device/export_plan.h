// The export as a plan: the fixed order of records, pauses and progress steps that paces the
// configuration into the relay controller. Pure data; the window walks it.
#pragma once

#include <vector>

enum class TExportAction {
    ShowBar,     // show the progress bar (its position is kept)
    Record,      // one record of an item: text or flag, written in one write
    BuildMask,   // read a mask item's boxes into the mask byte
    WriteMask,   // write the mask byte, then 0x0D
    Step,        // progress bar + 10, held at its maximum
    Pause,       // pause for Units x 20 ms, processing messages
    HideBar,     // hide the bar and set its position to 0
    FinalRecord, // the lone 0x0D that ends the export
};

struct TExportStep
{
    TExportAction Action;
    int Value; // the item's line for Record, BuildMask, WriteMask; the units for Pause
};

// The whole export after the request bytes, in order.
const std::vector<TExportStep>& ExportPlan();

inline constexpr int ExportPause = 20;     // more than 400 ms between records
inline constexpr int ExportLongPause = 50; // more than 1000 ms, once, after line 36
inline constexpr int ProgressStepSize = 10;
inline constexpr int ProgressMaximum = 530; // the bar is full with the step after line 54
