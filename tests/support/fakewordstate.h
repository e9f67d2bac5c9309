#pragma once

// The inside of the fake document engine (fakeword.h), shared by its files.

#include "fakeword.h"

#include "base/failure.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace FakeWord {

// Whether a document (and everything taken from it) may still be used.
struct Life
{
    bool alive = true;
};

// What all objects of one engine share: the call log, the failure rules and
// the registry of objects handed out.
class State
{
public:
    struct Rule
    {
        QString operation;
        int after;
        int times;
    };

    void call(const QString& line)
    {
        log << line;
        const QString operation = operationOf(line);
        for (Rule& rule : rules) {
            if (rule.operation != operation)
                continue;
            if (rule.after > 0) {
                --rule.after;
                continue;
            }
            if (rule.times == 0)
                continue;
            if (rule.times > 0)
                --rule.times;
            throw Failure(Engine::failureText(operation));
        }
    }

    static QString operationOf(const QString& line)
    {
        qsizetype end = line.size();
        for (const QChar stop : {QLatin1Char('('), QLatin1Char('=')}) {
            const qsizetype at = line.indexOf(stop);
            if (at >= 0 && at < end)
                end = at;
        }
        return line.left(end);
    }

    QStringList log;
    QList<Rule> rules;
    QStringList pictures;
    bool saveWritesNothing = false;
    bool exportDiesHalfway = false;
    bool exportCutShort = false;
    int running = 0;
    std::vector<std::weak_ptr<void>> handedOut;
    std::vector<std::weak_ptr<Life>> documentLives;
};

} // namespace FakeWord
