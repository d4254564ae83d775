#include "app/config/logging.h"

// QtCriticalMsg as the default level: warnings, information and debug lines of these
// categories are off until a rule turns them on.
Q_LOGGING_CATEGORY(lcCore, "relaydeck.core", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcSession, "relaydeck.session", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcGateway, "relaydeck.gateway", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcSerial, "relaydeck.serial", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcAudio, "relaydeck.audio", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcConfig, "relaydeck.config", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcWeb, "relaydeck.web", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcDirectory, "relaydeck.directory", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcUi, "relaydeck.ui", QtCriticalMsg)

namespace rdlog {
void enableVerbose()
{
    // Rules of QT_LOGGING_RULES are applied after these, so they still win.
    QLoggingCategory::setFilterRules(QLatin1String(kVerboseRules));
}
} // namespace rdlog
