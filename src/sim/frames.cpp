#include "frames.h"

#include "console/bytes.h"

namespace dialkite::sim {

namespace {

Frame framed(const QByteArray &bytes)
{
    Frame frame;
    frame.bytes = bytes;
    frame.kind = bytes.size() == 22   ? Frame::Kind::Default
                 : bytes.size() == 30 ? Frame::Kind::Rez
                                      : Frame::Kind::Unknown;
    frame.port = bytes.size() > 2 ? bytes[1] : 0;
    frame.command = bytes.size() > 3 ? bytes[2] : 0;
    QByteArray data = bytes.mid(3, bytes.size() - 4);
    while (data.endsWith(' '))
        data.chop(1);
    frame.data = data;
    return frame;
}

} // namespace

QList<Frame> FrameReader::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    QList<Frame> frames;
    Frame frame;
    while (takeFrame(frame))
        frames.append(frame);
    return frames;
}

bool FrameReader::takeFrame(Frame &frame)
{
    if (m_buffer.isEmpty())
        return false;
    const char first = m_buffer[0];
    if (first == '?') {
        frame = {Frame::Kind::Query, "?", 0, '?', {}};
        m_buffer.remove(0, 1);
        return true;
    }
    if (first == 'S') {
        if (m_buffer.size() < 3)
            return false;
        const QByteArray bytes = m_buffer.left(3);
        m_buffer.remove(0, 3);
        frame = {
            bytes[2] == 'E' ? Frame::Kind::Rorivu : Frame::Kind::Unknown, bytes, 0, bytes[1], {}};
        return true;
    }
    if (first == STX) {
        const qsizetype end = m_buffer.indexOf(ETX);
        if (end < 0) {
            if (m_buffer.size() < kLimit)
                return false;
            frame = {Frame::Kind::Unknown, m_buffer, 0, 0, {}};
            m_buffer.clear();
            return true;
        }
        frame = framed(m_buffer.left(end + 1));
        m_buffer.remove(0, end + 1);
        return true;
    }
    // Bytes that start no frame: everything up to the next possible start.
    qsizetype next = 1;
    while (next < m_buffer.size() && m_buffer[next] != STX && m_buffer[next] != '?' &&
           m_buffer[next] != 'S')
        ++next;
    frame = {Frame::Kind::Unknown, m_buffer.left(next), 0, 0, {}};
    m_buffer.remove(0, next);
    return true;
}

} // namespace dialkite::sim
