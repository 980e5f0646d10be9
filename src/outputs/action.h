#pragma once

// Actions on a call, for other programs: a program run for each call ([ACTIONS] ON_CALL,
// --on-call), never through a shell, the call's fields in its environment; and a webhook
// ([ACTIONS] WEBHOOK, --webhook) that receives each call as JSON (the fields of the MQTT
// event, Idempotency-Key: the event's id, a bearer token from a file or the environment).
//
// Delivered at least once, like the broker's events: each call goes first into the
// action's own spool and leaves it once done, in order; a receiver that is away, slow or
// answers 5xx gets it later, a 4xx answer (or a program that fails) is said and not tried
// again. [ACTIONS] LINES, BOXES, STATUS and CONTACTS=known|unknown choose the calls.

#include "output.h"
#include "registry.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace dialkite {

// Which calls an action is for; an empty list takes every one.
struct ActionRules {
    QStringList lines;
    QStringList boxes;
    QStringList statuses; // number, withheld, public_phone, not_collected
    QString contacts;     // "", "known" or "unknown"
    bool takes(const QJsonObject &call) const;
};

struct ActionPlan {
    QStringList program; // the program and its arguments
    QString webhook;     // http:// or https://
    QByteArray token;    // the webhook's bearer token
    int timeoutMs = 10000;
    ActionRules rules;
    QString spoolFolder; // where the actions' spools are
};

// What a call's environment holds for an --on-call program: DIALKITE_NUMBER, DIALKITE_NAME,
// DIALKITE_LINE, DIALKITE_BOX, DIALKITE_ID, DIALKITE_STATUS, DIALKITE_DIGITS, DIALKITE_TIME,
// DIALKITE_PC_TIME, DIALKITE_COLOR, DIALKITE_VARIANT.
QList<std::pair<QString, QString>> actionEnvironment(const QJsonObject &call);

// "PROGRAM ARG..." as a shell would split it, without anything else a shell does: blanks
// between words, '...' taken as it is, "..." and \ for a quote or a blank within a word.
// Nothing (an empty list) when a quote is not closed.
QStringList splitProgram(const QString &text);

OutputKind actionKind();

} // namespace dialkite
