#pragma once

#include <QThread>

// Watches the kernel's device events on a netlink socket and announces the
// plugging and unplugging of the maker's scanners. The socket is opened by
// the constructor; the thread itself only reads it.
class USBHotplugThread : public QThread {
    Q_OBJECT
public:
    explicit USBHotplugThread(QObject* parent = nullptr);
    ~USBHotplugThread() override;

    // Drops every event already queued on the socket. Call before start().
    void ClearBuffer();

    // False when the socket could not be set up; the thread then never emits.
    bool IsListening() const { return m_socket >= 0; }

signals:
    // 1 when a scanner interface was added, 2 when one was removed.
    void sglUSBListChanged(int change);

protected:
    void run() override;

private:
    void OpenSocket();
    bool WaitReadable();

    int m_socket = -1;
};
