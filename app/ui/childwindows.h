// Registers the factories of every child window kind this build has with the main window.
// Kinds without a factory open nothing.
#pragma once

class MainWindow;
void RegisterChildWindows(MainWindow& main);
