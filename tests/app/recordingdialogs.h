#pragma once

#include "app/dialogs.h"

#include <QQueue>
#include <QStringList>

#include <functional>

namespace varlo::test {

// Answers the window's boxes and dialogs as a test tells it, and keeps what
// was shown. Running out of answers fails loudly rather than hanging.
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

    void showMessage(QWidget *, const QString &text, const QString &detail) override
    {
        messages.append({text, detail});
        if (onMessage)
            onMessage(text);
    }
    bool confirm(QWidget *, const QString &title, const QString &text) override
    {
        confirmations << title + QLatin1Char('|') + text;
        Q_ASSERT_X(!confirmAnswers.isEmpty(), "confirm", "no answer prepared");
        return confirmAnswers.dequeue();
    }
    QString openFileName(QWidget *, const QString &filter, const QString &remembered) override
    {
        filters << filter;
        openPresets << remembered;
        Q_ASSERT_X(!openAnswers.isEmpty(), "openFileName", "no answer prepared");
        return openAnswers.dequeue();
    }
    QString saveFileName(QWidget *, const QString &filter, const QString &preset) override
    {
        filters << filter;
        savePresets << preset;
        Q_ASSERT_X(!saveAnswers.isEmpty(), "saveFileName", "no answer prepared");
        return saveAnswers.dequeue();
    }
};

} // namespace varlo::test
