#include "app/web/guicapture.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QThread>

#include <chrono>
#include <memory>

QImage GuiThreadCapture::captureWindow(QWidget* window)
{
    if (!window)
        return {};
    const bool wasMinimized = window->isMinimized();
    if (wasMinimized) {
        window->showMaximized();
        QCoreApplication::processEvents(); // let the layout follow the new size
    }
    const QPixmap inner = window->grab();
    const QRect frame = window->frameGeometry();
    const QPoint offset = window->geometry().topLeft() - frame.topLeft();
    QImage picture;
    if (!inner.isNull() && frame.width() > 0 && frame.height() > 0) {
        // The frame itself is drawn by the window system; its area is filled with the
        // window colour so the picture has the window's outer size.
        picture = QImage(frame.size(), QImage::Format_RGB32);
        picture.fill(window->palette().color(QPalette::Window));
        QPainter painter(&picture);
        painter.drawPixmap(offset, inner);
    }
    if (wasMinimized)
        window->showMinimized();
    return picture;
}

GuiThreadCapture::GuiThreadCapture(QWidget* window, int timeoutMs)
    : m_window(window), m_timeoutMs(timeoutMs), m_state(std::make_shared<State>())
{}

GuiThreadCapture::~GuiThreadCapture()
{
    cancel();
}

void GuiThreadCapture::cancel()
{
    std::lock_guard lock(m_state->mutex);
    m_state->cancelled = true;
    m_state->cv.notify_all();
}

QImage GuiThreadCapture::capture()
{
    QWidget* window = m_window.data();
    if (!window)
        return {};
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->cancelled)
            return {};
    }
    if (QThread::currentThread() == window->thread())
        return captureWindow(window);

    // The result lives as long as the posted call or the waiting caller, whichever is
    // later: a call that runs after the time-out writes into it harmlessly.
    struct Result {
        bool done = false;
        QImage picture;
    };
    auto result = std::make_shared<Result>();
    const std::shared_ptr<State> state = m_state;
    QPointer<QWidget> target = m_window;
    const bool posted = QMetaObject::invokeMethod(
        window,
        [state, target, result] {
            {
                std::lock_guard lock(state->mutex);
                if (state->cancelled)
                    return;
            }
            QImage picture = target ? captureWindow(target.data()) : QImage();
            std::lock_guard lock(state->mutex);
            result->picture = std::move(picture);
            result->done = true;
            state->cv.notify_all();
        },
        Qt::QueuedConnection);
    if (!posted)
        return {};
    std::unique_lock lock(state->mutex);
    state->cv.wait_for(lock, std::chrono::milliseconds(m_timeoutMs), [&] { return result->done || state->cancelled; });
    return result->done ? result->picture : QImage();
}
