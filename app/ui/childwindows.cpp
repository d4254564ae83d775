#include "app/ui/childwindows.h"

#include "app/ui/mainwindow.h"

void RegisterChildWindows(MainWindow& main)
{
    // The link monitor is registered by the main window itself. Gateway windows, setup
    // windows and lists are added here as they become available.
    (void)main;
}
