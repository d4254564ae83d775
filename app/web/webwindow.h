// The web interface of the program with windows: the picture source is the main window,
// captured on the user interface thread.
#pragma once
#include "app/web/webinterface.h"

#include <QObject>
#include <QWidget>

// A picture source for WebInterface that captures window (see GuiThreadCapture).
WebInterface::ScreenFactory WindowScreen(QWidget* window, int captureTimeoutMs = 5000);

// For the main window: starts the web interface when the settings enable it and returns
// the object that keeps it, a child of window (the server stops when it goes). nullptr
// when the settings keep it off or the port cannot be opened (error says why then).
// status (may be null) feeds the live status pages.
QObject* StartWebInterface(QWidget* window, const SettingsList& settings, QString* error = nullptr,
                           std::shared_ptr<const StatusProvider> status = nullptr);
