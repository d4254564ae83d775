#include "app/core/gatewayrunner.h"

GatewayRunner::GatewayRunner(std::unique_ptr<GatewayEngine> engine, QObject* parent, GatewayTicker* ticker)
    : QObject(parent), m_engine(std::move(engine)), m_ticker(ticker ? ticker : GatewayTicker::shared())
{
    m_engine->setView(this);
}

GatewayRunner::~GatewayRunner()
{
    stopTimers();
    m_engine->setView(nullptr);
}

void GatewayRunner::startTimers()
{
    if (m_ticker)
        m_ticker->enrol(this);
}

void GatewayRunner::stopTimers()
{
    if (m_ticker)
        m_ticker->withdraw(this);
}

void GatewayRunner::displayChanged()
{
    if (m_view)
        m_view->displayChanged();
}

void GatewayRunner::logAppended(const GwLogLine& line)
{
    if (onLogLine)
        onLogLine(line);
    if (m_view)
        m_view->logAppended(line);
}

void GatewayRunner::logCleared()
{
    if (m_view)
        m_view->logCleared();
}

void GatewayRunner::closeWindow()
{
    if (m_view) {
        m_view->closeWindow();
        return;
    }
    if (m_engine->CloseQuery()) {
        stopTimers();
        if (onClosed)
            onClosed();
    }
}

void GatewayRunner::windowPosition(int& left, int& top)
{
    if (m_view)
        m_view->windowPosition(left, top);
}
