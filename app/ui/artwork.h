// The program's pictures, drawn in code: the application icon, the toolbar icons, the
// 16-pixel child window icons and the logo in the middle of the window area.
#pragma once
#include "app/session/childwindow.h"

#include <QIcon>
#include <QMdiArea>

QIcon AppIcon();
enum class ToolIcon { ComPorts, GatewayList, Settings, RogerBeep };
QIcon ToolBarIcon(ToolIcon which);
QIcon ChildIcon(ChildKind kind);

// The window area with the product logo kept in its middle.
class LogoMdiArea : public QMdiArea {
public:
    using QMdiArea::QMdiArea;

protected:
    void paintEvent(QPaintEvent* event) override;
};
