#include "console_link.h"

#include "device/export_plan.h"

#include <algorithm>
#include <chrono>

#include <unistd.h>

namespace {
// The export's length is fixed by its pauses; what is left is that length less the time spent.
std::chrono::milliseconds ExportLength()
{
    int Units = 0;
    for (const TExportStep& Step : ExportPlan())
        if (Step.Action == TExportAction::Pause)
            Units += Step.Value;
    return std::chrono::milliseconds(Units * 20);
}
} // namespace

TConsoleLink::TConsoleLink(FILE* Terminal)
    : FTerminal(Terminal && ::isatty(::fileno(Terminal)) ? Terminal : nullptr)
{
}

bool TConsoleLink::Connected() const { return FCaption == QLatin1String("DisConnect"); }

void TConsoleLink::SetProgressVisible(bool Visible)
{
    if (Visible && !FVisible)
        FClock.start();
    FVisible = Visible;
    if (!Visible && FDrawn && FTerminal) {
        std::fputs("\r\033[K", FTerminal); // the finished bar leaves no line behind
        std::fflush(FTerminal);
        FDrawn = false;
    }
    if (Visible)
        Draw();
}

void TConsoleLink::SetProgressPosition(int Position)
{
    FPosition = std::clamp(Position, 0, ProgressMaximum);
    if (!FVisible)
        return; // the bar's reset after the export is no progress
    Draw();
    if (OnProgress)
        OnProgress(FPosition, SecondsLeft());
}

int TConsoleLink::SecondsLeft() const
{
    const auto Left = ExportLength() - std::chrono::milliseconds(FClock.isValid() ? FClock.elapsed() : 0);
    return static_cast<int>((std::max<std::int64_t>(Left.count(), 0) + 999) / 1000);
}

void TConsoleLink::Draw()
{
    if (!FTerminal)
        return;
    std::fprintf(FTerminal, "\r%s", qPrintable(ProgressLine(FPosition, ProgressMaximum, SecondsLeft())));
    std::fflush(FTerminal);
    FDrawn = true;
}

QString ProgressLine(int Position, int Maximum, int SecondsLeft, int Width)
{
    const int Filled = Maximum > 0 ? Position * Width / Maximum : 0;
    const int Percent = Maximum > 0 ? Position * 100 / Maximum : 0;
    return QStringLiteral("[%1%2] %3%  %4 s left")
        .arg(QString(Filled, u'#'), QString(Width - Filled, u'.'))
        .arg(Percent, 3)
        .arg(SecondsLeft);
}
