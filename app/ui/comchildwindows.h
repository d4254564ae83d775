// The COM port editor and the COM status window as child windows of the main window, and
// the main window's side of them: finding and opening the status window of a port.
#pragma once
#include "app/ui/comwindows.h"
#include "app/session/childwindow.h"

class MainWindow;

class ComPortEditorChild : public ComPortEditor, public ChildWindow {
public:
    ComPortEditorChild(MainWindow& main, QWidget* parent = nullptr);
    ChildKind childKind() const override { return ChildKind::ComPortEditor; }
};

class ComStatusChild : public ComStatusWindow, public ChildWindow {
public:
    ComStatusChild(MainWindow& main, int port, int top, int left, QWidget* parent = nullptr);
    ChildKind childKind() const override { return ChildKind::ComStatus; }
};

// COMStatusIstAktiv: true when a status window for port n is open; it is brought to the
// front.
bool ComStatusIsOpen(MainWindow& main, int port);
// Opens the status window of port n at top/left (caption text 0304 + ": COM" + n).
QWidget* OpenComStatusWindow(MainWindow& main, int port, int top, int left);

// Registers the editor (ChildKind::ComPortEditor) and the status window
// (ChildKind::ComStatus; parameters PORT_NR, TOP, LEFT, defaults 10) with the main window.
void RegisterComWindows(MainWindow& main);
