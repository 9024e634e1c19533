// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/dialogs.h"

#include <QQueue>
#include <QStringList>

#include <functional>

namespace varlo::test {

// Answers the window's boxes and dialogs as a test tells it, and keeps what
// was shown. A question without a prepared answer is answered Cancel, with a
// warning, and counted in `unanswered`.
class RecordingDialogs : public Dialogs
{
public:
    struct Shown
    {
        QString text;
        QString detail;
    };

    QList<Shown> messages;
    QStringList confirmations;
    QStringList openPresets;
    QStringList savePresets;
    QStringList filters;

    int unanswered = 0;
    QQueue<bool> confirmAnswers;
    QQueue<QString> openAnswers; // an empty text cancels
    QQueue<QString> saveAnswers;
    // Runs while a message box would be open, for checks at that moment.
    std::function<void(const QString &)> onMessage;

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const Shown &m : messages)
            texts << m.text;
        return texts;
    }

    template<typename T>
    T next(QQueue<T> &answers, T cancel)
    {
        if (!answers.isEmpty())
            return answers.dequeue();
        qWarning("RecordingDialogs: a question nobody prepared an answer for");
        ++unanswered;
        return cancel;
    }

    void showMessage(QWidget *, const QString &text, const QString &detail) override
    {
        messages.append({text, detail});
        if (onMessage)
            onMessage(text);
    }
    bool confirm(QWidget *, const QString &title, const QString &text) override
    {
        confirmations << title + QLatin1Char('|') + text;
        return next(confirmAnswers, false);
    }
    QString openFileName(QWidget *, const QString &filter, const QString &remembered) override
    {
        filters << filter;
        openPresets << remembered;
        return next(openAnswers, QString());
    }
    QString saveFileName(QWidget *, const QString &filter, const QString &preset) override
    {
        filters << filter;
        savePresets << preset;
        return next(saveAnswers, QString());
    }
};

} // namespace varlo::test
