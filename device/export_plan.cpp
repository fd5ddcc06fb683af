#include "export_plan.h"

#include "items.h"

namespace {
using A = TExportAction;

std::vector<TExportStep> BuildPlan()
{
    std::vector<TExportStep> Plan;
    auto Add = [&](TExportAction Action, int Value = 0) { Plan.push_back({Action, Value}); };
    auto Pause = [&](int Units = ExportPause) { Add(A::Pause, Units); };
    // A mask's byte is taken from its boxes before the pause that precedes its write.
    auto Mask = [&](int Line) {
        Add(A::BuildMask, Line);
        Pause();
        Add(A::WriteMask, Line);
    };

    Add(A::ShowBar);
    Pause();
    for (int Line = 1; Line <= 31; ++Line) { // relay commands, telephone numbers 1 to 7
        Add(A::Record, Line);
        Add(A::Step);
        Pause();
    }
    Add(A::Record, 32); // no pause: the next record is a mask, whose pause comes first
    Add(A::Step);
    Mask(33);
    Pause();
    Mask(34);
    Pause();
    Add(A::Step);
    for (int Line = 35; Line <= 55; ++Line) { // input texts, the status command
        Add(A::Record, Line);
        Add(A::Step);
        Pause(Line == 36 ? ExportLongPause : ExportPause);
    }
    Add(A::Record, 56);
    Pause();
    Add(A::Record, 57);
    Mask(58);
    Mask(59);
    Add(A::Step);
    Pause();
    Add(A::Step);
    Add(A::HideBar);
    Add(A::FinalRecord);
    return Plan;
}
} // namespace

const std::vector<TExportStep>& ExportPlan()
{
    static const std::vector<TExportStep> Plan = BuildPlan();
    return Plan;
}
