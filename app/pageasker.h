#pragma once

#include <QString>

// Where the page commands put their questions: the window answers with its
// message boxes, a test with the answers it chose.
class PageAsker {
public:
    virtual ~PageAsker() = default;
    // Asks `text` with 是 and 否; true for 是.
    virtual bool Ask(const QString& text) = 0;
};
