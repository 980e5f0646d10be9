#pragma once

// A made-up kind of output, of the tests only: it counts a box's calls and writes the
// count to a file when it finishes. It is its file pair and nothing else: it registers
// itself, and the settings ([TALLY] FILE=) and the monitor's --tally FILE reach it
// through the registry alone.

#include "outputs/output.h"

#include <QString>

namespace dialkite::test {

class TallyOutput : public Output {
    Q_OBJECT
public:
    TallyOutput(QString file, QString box);
    void consume(const Event &event) override;
    QString finish(QDeadlineTimer deadline) override;

private:
    QString m_file;
    QString m_box;
    int m_calls = 0;
};

} // namespace dialkite::test
