#include "app/config/logging.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>

namespace {
// Restores the rules the test program started with.
struct RulesGuard {
    ~RulesGuard() { QLoggingCategory::setFilterRules(QString()); }
};

const QLoggingCategory* const kAll[] = {&lcCore(),   &lcSession(), &lcGateway(),   &lcSerial(), &lcAudio(),
                                        &lcConfig(), &lcWeb(),     &lcDirectory(), &lcUi()};
} // namespace

TEST(DiagnosticLog, CategoriesAreOffUntilVerboseTurnsThemOnAndTheEnvironmentStillWins)
{
    if (qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        GTEST_SKIP() << "QT_LOGGING_RULES is set for this run";
    RulesGuard guard;
    for (const QLoggingCategory* c : kAll) {
        EXPECT_TRUE(QLatin1String(c->categoryName()).startsWith(QLatin1String("relaydeck."))) << c->categoryName();
        EXPECT_FALSE(c->isWarningEnabled()) << c->categoryName();
        EXPECT_FALSE(c->isInfoEnabled()) << c->categoryName();
        EXPECT_FALSE(c->isDebugEnabled()) << c->categoryName();
        EXPECT_TRUE(c->isCriticalEnabled()) << c->categoryName();
    }
    rdlog::enableVerbose();
    for (const QLoggingCategory* c : kAll) {
        EXPECT_TRUE(c->isWarningEnabled()) << c->categoryName();
        EXPECT_TRUE(c->isDebugEnabled()) << c->categoryName();
    }
}
