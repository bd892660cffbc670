#include "blockedclosefilter.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

// Atoms are the same for every client of a display, so a short connection
// of our own can look them up.
bool InternAtoms(std::uint32_t* protocols, std::uint32_t* deleteWindow)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection) {
            xcb_disconnect(connection);
        }
        return false;
    }
    const char* names[] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW"};
    xcb_intern_atom_cookie_t cookies[2];
    for (int i = 0; i < 2; ++i) {
        cookies[i] = xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(names[i])), names[i]);
    }
    std::uint32_t atoms[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookies[i], nullptr);
        if (reply) {
            atoms[i] = reply->atom;
            std::free(reply);
        }
    }
    xcb_disconnect(connection);
    *protocols = atoms[0];
    *deleteWindow = atoms[1];
    return atoms[0] != 0 && atoms[1] != 0;
}

} // namespace

BlockedCloseFilter::BlockedCloseFilter(QWidget* window, std::function<bool()> onClose)
    : m_window(window), m_onClose(std::move(onClose))
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    if (!InternAtoms(&m_protocols, &m_delete)) {
        return;
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
    m_installed = true;
}

BlockedCloseFilter::~BlockedCloseFilter()
{
    if (m_installed && QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool BlockedCloseFilter::nativeEventFilter(const QByteArray& eventType, void* message, long* /*result*/)
{
    if (eventType != "xcb_generic_event_t" || !m_window || !m_onClose) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) {
        return false;
    }
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->format != 32 || client->type != m_protocols || client->data.data32[0] != m_delete) {
        return false;
    }
    const WId id = m_window->internalWinId();
    if (id == 0 || client->window != id) {
        return false;
    }
    return m_onClose();
}
