#pragma once

// Where a publisher keeps every event until it is delivered: an SQLite file of its own
// (application id "DKSP", a schema version), or, when that file cannot be used, memory.
// Each spool has a random instance id made when it is created; with the box and the
// box's sequence it makes every event's id unique, also across a new spool, two monitors
// with one box name and a restart. Used by one thread only.
//
// A file that is not a spool (another program's database, a damaged file, one of a
// newer program) is never altered: openSpoolFile() refuses it and says why.

#include <QByteArray>
#include <QString>
#include <map>
#include <memory>
#include <vector>

namespace dialkite {

struct Spooled {
    QString box;
    qint64 seq = 0;
    QString topic;
    QByteArray payload;
};

class Spool {
public:
    virtual ~Spool() = default;

    const QString &instance() const { return m_instance; }
    virtual bool inMemory() const = 0;
    // The highest sequence the box was ever given (0 for a new box).
    virtual qint64 lastSequence(const QString &box) = 0;
    // Events of the box waiting, and the lowest sequence among them (0: none).
    virtual qint64 count(const QString &box) = 0;
    virtual qint64 lowest(const QString &box) = 0;
    // One transaction: the new events in, the delivered ones out (each box up to a
    // sequence, and single events). False (and `problem`) when nothing changed.
    virtual bool write(const std::vector<Spooled> &add, const std::map<QString, qint64> &upTo,
                       const std::vector<std::pair<QString, qint64>> &each, QString *problem) = 0;
    // The box's events after `seq`, in order, at most `limit`.
    virtual std::vector<Spooled> after(const QString &box, qint64 seq, int limit) = 0;
    // Drops the box's oldest events beyond the newest `keep`; how many went.
    virtual qint64 trim(const QString &box, qint64 keep) = 0;

protected:
    QString m_instance;
};

// The spool file at `path`, created when it does not exist (its folder too), an old
// spool of this program brought up to date. Nothing, and `problem`, when the file
// cannot be a spool; it is then left exactly as it was.
std::unique_ptr<Spool> openSpoolFile(const QString &path, QString *problem);
// A spool in memory, for when the file cannot be used: lost with the process.
std::unique_ptr<Spool> memorySpool();

// A new random instance id: twelve hexadecimal digits.
QString newInstanceId();

} // namespace dialkite
