#pragma once

// What the console sends a box: the 22-character default frame and the 30-character
// REZ frame (STX, port, command, data, blanks, ETX), the 3-character RORIVU frame
// ("S", command, "E") and the bare identification request "?".

#include <QByteArray>
#include <QList>

namespace dialkite::sim {

struct Frame {
    enum class Kind { Default, Rez, Rorivu, Query, Unknown };
    Kind kind = Kind::Unknown;
    QByteArray bytes; // the whole frame as received
    char port = 0;    // line digit, " " or "a"; 0 for RORIVU and "?"
    char command = 0;
    QByteArray data; // without the blank fill
};

class FrameReader {
public:
    // Bytes kept while waiting for the end of a frame; more is reported as Unknown.
    static constexpr qsizetype kLimit = 256;

    // Takes received bytes and returns the frames they complete.
    QList<Frame> feed(const QByteArray &bytes);
    const QByteArray &pending() const { return m_buffer; }

private:
    // One frame from the front of the buffer, or nothing when more bytes are needed.
    bool takeFrame(Frame &frame);

    QByteArray m_buffer;
};

} // namespace dialkite::sim
