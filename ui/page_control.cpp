#include "page_control.h"

#include "skin.h"

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
