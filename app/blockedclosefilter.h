#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

// The window manager's close request (WM_DELETE_WINDOW) for a window that a
// modal dialog blocks never reaches that window: the toolkit drops it. This
// filter hands such a request to onClose first; when onClose returns true
// the request is taken, otherwise it goes its usual way. Only on X11 (xcb);
// elsewhere the filter does nothing.
class BlockedCloseFilter : public QAbstractNativeEventFilter {
public:
    BlockedCloseFilter(QWidget* window, std::function<bool()> onClose);
    ~BlockedCloseFilter() override;
    BlockedCloseFilter(const BlockedCloseFilter&) = delete;
    BlockedCloseFilter& operator=(const BlockedCloseFilter&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override;

private:
    QPointer<QWidget> m_window;
    std::function<bool()> m_onClose;
    std::uint32_t m_protocols = 0;
    std::uint32_t m_delete = 0;
    bool m_installed = false;
};
