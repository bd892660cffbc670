#pragma once

#include "pagewriter.h"

// Base of the writers that take one row at a time (PNG, JPEG): gathers the
// delivered bytes into a one-row buffer and hands over each full row.
class RowPageWriter : public PageWriter {
public:
    explicit RowPageWriter(FILE* file) : PageWriter(file) {}
    ~RowPageWriter() override;

    SANE_Status Begin(const PageGeometry& geometry) override;
    SANE_Status Write(uint8_t* data, size_t len) override;
    SANE_Status Finish() override;

protected:
    // Sets up the encoder and writes the file header.
    virtual SANE_Status BeginImage() = 0;
    // Encodes one row of bytesPerLine bytes in delivery order; may change it.
    virtual SANE_Status WriteRow(uint8_t* row) = 0;
    // Ends the encoded image.
    virtual SANE_Status FinishImage() = 0;

private:
    uint8_t* m_row = nullptr;
    size_t m_fill = 0;
    int m_rowsDone = 0;
};
