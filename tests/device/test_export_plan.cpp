// The export plan: pauses, records and progress steps in the order the relay controller expects.
#include "device/export_plan.h"

#include <gtest/gtest.h>

namespace {
using A = TExportAction;

int CountOf(A Action, int Value = -1)
{
    int N = 0;
    for (const TExportStep& Step : ExportPlan())
        N += Step.Action == Action && (Value < 0 || Step.Value == Value);
    return N;
}
} // namespace

TEST(ExportPlan, Counts)
{
    EXPECT_EQ(CountOf(A::Pause, ExportPause), 60);
    EXPECT_EQ(CountOf(A::Pause, ExportLongPause), 1);
    EXPECT_EQ(CountOf(A::Step), 56);
    EXPECT_EQ(CountOf(A::Record), 55);   // text and flag items
    EXPECT_EQ(CountOf(A::BuildMask), 4); // lines 33, 34, 58, 59
    EXPECT_EQ(CountOf(A::WriteMask), 4);
    EXPECT_EQ(CountOf(A::FinalRecord), 1);
    EXPECT_EQ(ExportPlan().front().Action, A::ShowBar);
    EXPECT_EQ(ExportPlan().back().Action, A::FinalRecord);
    EXPECT_EQ(ExportPlan()[ExportPlan().size() - 2].Action, A::HideBar);
}

TEST(ExportPlan, EveryLineOnceInOrder)
{
    int Expected = 1;
    for (const TExportStep& Step : ExportPlan()) {
        if (Step.Action == A::Record || Step.Action == A::WriteMask) {
            EXPECT_EQ(Step.Value, Expected++);
        }
    }
    EXPECT_EQ(Expected, 60);
}

TEST(ExportPlan, EveryTwoWritesArePausedApart)
{
    // Between any two records, and between the request and the first, lies a pause of at
    // least 20 units; after line 36 one of 50. A mask's byte is built before its pause.
    int LastLine = 0; // the request
    int PausedUnits = 0;
    const auto& Plan = ExportPlan();
    for (size_t I = 0; I < Plan.size(); ++I) {
        const TExportStep& Step = Plan[I];
        if (Step.Action == A::Pause)
            PausedUnits += Step.Value;
        if (Step.Action == A::Record || Step.Action == A::WriteMask || Step.Action == A::FinalRecord) {
            if (Step.Action != A::FinalRecord) {
                EXPECT_GE(PausedUnits, LastLine == 36 ? ExportLongPause : ExportPause)
                    << "before line " << Step.Value;
                LastLine = Step.Value;
            }
            PausedUnits = 0;
        }
        if (Step.Action == A::BuildMask) {
            ASSERT_LT(I + 2, Plan.size());
            EXPECT_EQ(Plan[I + 1].Action, A::Pause);
            EXPECT_EQ(Plan[I + 2].Action, A::WriteMask);
        }
    }
}

TEST(ExportPlan, BarIsFullAfterTheStepOfLine54)
{
    int Position = 0;
    int LastRecord = 0;
    for (const TExportStep& Step : ExportPlan()) {
        if (Step.Action == A::Record)
            LastRecord = Step.Value;
        if (Step.Action == A::Step) {
            Position = std::min(Position + ProgressStepSize, 530);
            if (LastRecord == 53) {
                EXPECT_LT(Position, 530);
            }
            if (LastRecord == 54) {
                EXPECT_EQ(Position, 530);
            }
        }
    }
    EXPECT_EQ(Position, 530);
}
