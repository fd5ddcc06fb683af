#include "page_control.h"

#include "skin.h"

#include <QShortcut>
#include <QTabBar>

TPageControl::TPageControl(QWidget* Parent) : QWidget(Parent), FTabs(new QTabBar(this))
{
    SetSkinSection(this, "PAGECONTROL");
    setAttribute(Qt::WA_StyledBackground);
    FTabs->setObjectName(QStringLiteral("Tabs"));
    FTabs->setDrawBase(false);
    FTabs->setExpanding(false);
    FTabs->setUsesScrollButtons(false);
    FTabs->setElideMode(Qt::ElideNone);
    connect(FTabs, &QTabBar::currentChanged, this, [this](int) { ShowActivePage(); });
    // The pages from the keyboard, as in any tabbed window: Ctrl+Tab and Ctrl+Page Down to the
    // next, with Shift or Page Up to the previous, wherever the focus is inside. The tab strip
    // itself is on the Tab key's way, before the fields of the page.
    const std::pair<QKeySequence, int> Steps[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1},
    };
    for (const auto& [Key, Step] : Steps) {
        auto* Shortcut = new QShortcut(Key, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(Shortcut, &QShortcut::activated, this, [this, Step = Step] {
            if (PageCount() > 0)
                SetActivePageIndex((ActivePageIndex() + Step + PageCount()) % PageCount());
        });
    }
}

QWidget* TPageControl::AddPage(const QString& Name, const QString& Caption)
{
    auto* Page = new QWidget(this);
    Page->setObjectName(Name);
    Page->setAttribute(Qt::WA_StyledBackground);
    Page->setProperty("skinSection", QStringLiteral("PAGECONTROL"));
    Page->setProperty("tabSheet", true);
    Page->setGeometry(Border, TabHeight, width() - 2 * Border, height() - TabHeight - Border);
    FPages.push_back(Page);
    FTabs->addTab(Caption);
    ShowActivePage();
    return Page;
}

int TPageControl::ActivePageIndex() const { return FTabs->currentIndex(); }

void TPageControl::SetActivePageIndex(int Index) { FTabs->setCurrentIndex(Index); }

void TPageControl::ShowActivePage()
{
    const int Active = FTabs->currentIndex();
    for (int I = 0; I < PageCount(); ++I)
        Page(I)->setVisible(I == Active);
}

void TPageControl::resizeEvent(QResizeEvent*)
{
    FTabs->setGeometry(0, 0, width(), TabHeight);
    for (QWidget* Page : FPages)
        Page->setGeometry(Border, TabHeight, width() - 2 * Border, height() - TabHeight - Border);
}
