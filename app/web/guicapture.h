// Captures a window for the web interface from any thread. The window belongs to the
// user interface thread, so a caller on another thread posts the capture to that thread
// and waits for the picture with a time-out; only the user interface thread touches the
// widget.
#pragma once
#include "app/web/screenshotserver.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <condition_variable>
#include <memory>
#include <mutex>

class GuiThreadCapture : public ScreenSource {
public:
    explicit GuiThreadCapture(QWidget* window, int timeoutMs = 5000);
    ~GuiThreadCapture() override;
    GuiThreadCapture(const GuiThreadCapture&) = delete;
    GuiThreadCapture& operator=(const GuiThreadCapture&) = delete;

    // The window's picture, or a null picture when it could not be captured within the
    // time-out, the window is gone or cancel() was called. Callable from any thread.
    QImage capture() override;
    // Ends every wait at once and makes later captures fail (call before the server
    // threads are joined, so none of them waits for a user interface thread that is
    // busy joining them).
    void cancel() override;

    // On the user interface thread: the window as it appears, child windows included, in
    // a picture of the window's outer size (frame included). A minimized window is shown
    // maximized for the capture and minimized again afterwards. Null on failure.
    static QImage captureWindow(QWidget* window);

private:
    // Shared with calls still queued on the user interface thread, which may run after
    // this object is gone.
    struct State {
        std::mutex mutex;
        std::condition_variable cv;
        bool cancelled = false;
    };
    QPointer<QWidget> m_window;
    int m_timeoutMs;
    std::shared_ptr<State> m_state;
};
