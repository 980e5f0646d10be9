#pragma once

// The box variants the console serves, as data: what each is called, how its records
// are framed and decoded, how it is asked to identify itself and whether it can be
// reprogrammed. The console, the operations, the dialogs, the runner, the monitor and
// the simulator all read one table; its entries are declared in variants/table.cpp.

#include <QByteArray>
#include <QList>
#include <QString>
#include <compare>

namespace dialkite {

// A variant code as the box's papers and the settings file write it: "1" to "8", "0"
// after an empty choice, and no code at all before start-up has finished.
class VariantId {
public:
    constexpr VariantId() = default; // no code
    constexpr explicit VariantId(int number)
        : m_number(number < 0 ? -1 : number)
    {}
    // "" is no code; anything that is not a decimal number is no code either.
    static VariantId fromText(const QString &text);

    bool isEmpty() const { return m_number < 0; }
    int number() const { return m_number; }
    QString text() const { return isEmpty() ? QString() : QString::number(m_number); }
    auto operator<=>(const VariantId &) const = default;
    bool operator==(const VariantId &) const = default;
    // A code equals its text: "1" is variant 1, "" no code.
    friend bool operator==(const VariantId &code, const QString &text)
    {
        return code.text() == text;
    }

private:
    int m_number = -1;
};

// How the receive path cuts the byte stream into records.
enum class RecordFraming {
    Etx,             // STX ... ETX
    EtxOrLetterE,    // ... ETX, and also at every "E" (RORIVU)
    LineMultiplexed, // four lines on one stream, each in its own byte range (ZURAZA)
};

// The record layout family, named for the simulator, which builds records on its own.
enum class RecordFormat { Default, MultiLine, Rez, Rorivu, Zuraza, Zud };

// A record as the framing hands it to a decoder.
struct Record {
    QByteArray bytes;   // start and end characters included, as received
    QByteArray channel; // the line field, as the variant places it (empty when it has none)
    int line = 0;       // line-multiplexed formats: the line 1 to 4 the bytes came on
};

class RecordSink;
using Decoder = void (*)(const Record &record, RecordSink &sink);

// How a box of a variant speaks, for a record format the simulator does not build on its
// own (it builds the formats above from their record tables, never from the console's
// decoders). A variant with a format of its own brings these in its table entry, and the
// simulator plays such a box from them.
struct SimulatedRecords {
    // A caller on `line` (as the line field carries it): `number` holds the digits, or
    // "P" (withheld), "C" (public phone), "O" (not collected); `red` for a red call.
    QByteArray (*call)(const QByteArray &line, const QByteArray &number, bool red) = nullptr;
    QByteArray (*identification)(const QByteArray &name, const QByteArray &version) = nullptr;
    // The end of a call dialled from the console; nullptr: the format has none.
    QByteArray (*callEnd)(const QByteArray &line) = nullptr;
    // What the console must answer the call record of `number` on `line` with; an empty
    // answer (or nullptr) when it owes none.
    QByteArray (*acknowledgement)(const QByteArray &line, const QByteArray &number) = nullptr;
};

struct VariantInfo {
    VariantId code;
    QString deviceName;        // the device-name panel
    QString selectCaption;     // its option in the selection dialog
    QString changeCaption;     // its option in the reprogramming dialog; "" when it has none
    QByteArray reprogramValue; // what the "a" "z" command carries to reprogram a box to it
    RecordFraming framing = RecordFraming::Etx;
    RecordFormat format = RecordFormat::Default;
    // Where the line field stands in a record (1-based position and length); 0: none.
    int channelPosition = 2;
    int channelLength = 1;
    Decoder decode = nullptr;                    // nullptr: the default record format
    QByteArray identificationRequest;            // the frame "장비확인" sends; "" sends nothing
    bool awaitsIdentificationReply = false;      // the receive path reads the reply itself
    int lines = 4;                               // the telephone lines a box of it watches
    const SimulatedRecords *simulated = nullptr; // see SimulatedRecords

    bool reprogrammable() const { return !reprogramValue.isEmpty(); }
};

class VariantTable {
public:
    // Adds or replaces the variant with `info.code`; the table stays in code order.
    void add(const VariantInfo &info);
    const VariantInfo *find(VariantId code) const;
    const QList<VariantInfo> &all() const { return m_variants; }
    // The variants the reprogramming dialog offers, in code order.
    QList<const VariantInfo *> reprogrammable() const;
    // The highest code in the table.
    int highest() const { return m_variants.isEmpty() ? 0 : m_variants.back().code.number(); }

private:
    QList<VariantInfo> m_variants;
};

// The table of every variant the program knows (variants/table.cpp).
VariantTable &variantTable();

} // namespace dialkite
