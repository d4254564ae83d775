// Unkeying after the program died: the GPIO kinds of port (CM108 pins, Linux GPIO lines)
// keep what they last drove when the process ends without closing them, so a supervisor
// (`relaydeck-cli unkey`, run by the service's ExecStopPost) drives every output they map
// to its idle level. Serial ports need nothing: the kernel drops their lines on exit.
#pragma once

#include "app/serial/serialbackend.h"

#include <QString>

#include <string>
#include <vector>

struct UnkeyResult {
    int port = 0;
    std::string device;
    bool ok = false;      // the idle report was sent / the lines were driven low
    bool missing = false; // the device is not there (nothing can be keyed on it)
    std::string message;
};

// Every "cm108:" and "gpio:" port of comport.cfg, in port order.
std::vector<UnkeyResult> unkeyConfiguredLines(const QString& comportCfgPath);

// One CM108 port: the idle output report (mapped outputs low, still outputs).
bool unkeyCm108(const std::string& device, const PortOptions& options, std::string& message, bool& missing);
