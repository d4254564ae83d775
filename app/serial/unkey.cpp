#include "app/serial/unkey.h"

#include "app/serial/comportmanager.h"
#include "app/serial/gpiochip.h"

std::vector<UnkeyResult> unkeyConfiguredLines(const QString& comportCfgPath)
{
    std::vector<UnkeyResult> out;
    const ComPortManager cfg(comportCfgPath);
    for (int n = 1; n <= ComPortManager::kMaxPorts; ++n) {
        const std::string device = cfg.deviceForPort(n).toStdString();
        const bool isCm108 = device.rfind("cm108:", 0) == 0;
        if (!isCm108 && device.rfind("gpio:", 0) != 0)
            continue;
        UnkeyResult r;
        r.port = n;
        r.device = device;
        if (isCm108) {
            r.ok = unkeyCm108(device, cfg.optionsForPort(n), r.message, r.missing);
        } else {
            r.ok = unkeyGpio(device, cfg.optionsForPort(n), libgpiodOpener(), r.message);
            r.missing = !r.ok && !probeSystemDevice(device);
        }
        out.push_back(r);
    }
    return out;
}
