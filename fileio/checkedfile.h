#pragma once

#include <QFile>

// A file that remembers any write the system accepted only in part (a full
// disk or a file-size limit), for writers that do not check the count
// themselves. Open it unbuffered so that every write reaches the system.
class CheckedFile : public QFile {
public:
    explicit CheckedFile(const QString& name) : QFile(name) {}

    bool WriteFailed() const { return m_failed; }

protected:
    qint64 writeData(const char* data, qint64 len) override;

private:
    bool m_failed = false;
};
