// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windowkit/dialogs.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QQueue>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace varlo::test {

// Answers the window's boxes and dialogs as a test tells it, and keeps what
// was shown. A question without a prepared answer is answered Cancel, with a
// warning, and counted in `unanswered`.
//
// Each box is modal as the real ones are: it returns only after the event
// loop has run for a while (kOpenMs), as it runs while a user reads a box.
// Code that wrongly goes on while a box is open (a lamp turned red, a
// progress bar reset before the user closed the message) shows it then.
class RecordingDialogs : public Dialogs
{
public:
    static constexpr int kOpenMs = 20;

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
    QStringList saveQuestions;
    QQueue<SaveChoice> saveChangesAnswers;
    QStringList restoreQuestions;
    QQueue<bool> restoreAnswers; // true: Restore
    QQueue<QString> openAnswers; // an empty text cancels
    QQueue<QString> saveAnswers;
    // Each list shown, as its label and its items joined by '|'.
    QStringList itemLists;
    QQueue<int> itemAnswers; // -1 cancels
    // Answers a dialog of the window's own: sets its controls, then accepts
    // (true) or cancels it. Without one, the dialog is cancelled.
    std::function<bool(QDialog *)> dialogAnswer;
    int dialogsRun = 0;
    // Runs while a message box is open, after the event loop has run, for
    // checks at that moment.
    std::function<void(const QString &)> onMessage;

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const Shown &m : messages)
            texts << m.text;
        return texts;
    }

    template <typename T>
    T next(QQueue<T> &answers, T cancel)
    {
        if (!answers.isEmpty())
            return answers.dequeue();
        qWarning("RecordingDialogs: a question nobody prepared an answer for");
        ++unanswered;
        return cancel;
    }

    // While a modal box is open, the event loop runs. A real box posts
    // events of its own as it is laid out and painted, and the loop then
    // delivers every event waiting, those posted before it opened too; the
    // one posted here does the same.
    static void stayOpen()
    {
        QMetaObject::invokeMethod(
            qApp, [] {}, Qt::QueuedConnection);
        QEventLoop open;
        QTimer::singleShot(kOpenMs, &open, &QEventLoop::quit);
        open.exec();
    }

    void showMessage(QWidget *, const QString &text, const QString &detail) override
    {
        messages.append({text, detail});
        stayOpen();
        if (onMessage)
            onMessage(text);
    }
    bool confirm(QWidget *, const QString &title, const QString &text) override
    {
        confirmations << title + QLatin1Char('|') + text;
        stayOpen();
        return next(confirmAnswers, false);
    }
    SaveChoice askSaveChanges(QWidget *, const QString &title, const QString &text) override
    {
        saveQuestions << title + QLatin1Char('|') + text;
        stayOpen();
        return next(saveChangesAnswers, SaveChoice::Cancel);
    }
    bool askRestore(QWidget *, const QString &title, const QString &text) override
    {
        restoreQuestions << title + QLatin1Char('|') + text;
        stayOpen();
        return next(restoreAnswers, true);
    }
    QString openFileName(QWidget *, const QString &filter, const QString &remembered) override
    {
        filters << filter;
        openPresets << remembered;
        stayOpen();
        return next(openAnswers, QString());
    }
    QString saveFileName(QWidget *, const QString &filter, const QString &preset) override
    {
        filters << filter;
        savePresets << preset;
        stayOpen();
        return next(saveAnswers, QString());
    }
    int chooseItem(QWidget *, const QString &, const QString &label, const QStringList &items, int) override
    {
        itemLists << (QStringList{label} + items).join(QLatin1Char('|'));
        stayOpen();
        return next(itemAnswers, -1);
    }
    bool runDialog(QDialog *dialog) override
    {
        ++dialogsRun;
        stayOpen();
        if (!dialogAnswer) {
            qWarning("RecordingDialogs: a dialog nobody prepared an answer for");
            ++unanswered;
            return false;
        }
        return dialogAnswer(dialog);
    }
};

// What the window owns in place of the test's RecordingDialogs: it passes
// every box on to them. The test keeps them, so they outlive the window, and
// a test may destroy the window while one of its boxes is open.
class ForwardedDialogs : public Dialogs
{
public:
    explicit ForwardedDialogs(Dialogs &to)
        : m_to(to)
    {
    }

    void showMessage(QWidget *parent, const QString &text, const QString &detail) override
    {
        m_to.showMessage(parent, text, detail);
    }
    bool confirm(QWidget *parent, const QString &title, const QString &text) override
    {
        return m_to.confirm(parent, title, text);
    }
    SaveChoice askSaveChanges(QWidget *parent, const QString &title, const QString &text) override
    {
        return m_to.askSaveChanges(parent, title, text);
    }
    bool askRestore(QWidget *parent, const QString &title, const QString &text) override
    {
        return m_to.askRestore(parent, title, text);
    }
    QString openFileName(QWidget *parent, const QString &filter, const QString &remembered) override
    {
        return m_to.openFileName(parent, filter, remembered);
    }
    QString saveFileName(QWidget *parent, const QString &filter, const QString &preset) override
    {
        return m_to.saveFileName(parent, filter, preset);
    }
    int chooseItem(QWidget *parent, const QString &title, const QString &label, const QStringList &items,
                   int current) override
    {
        return m_to.chooseItem(parent, title, label, items, current);
    }
    bool runDialog(QDialog *dialog) override { return m_to.runDialog(dialog); }

private:
    Dialogs &m_to;
};

} // namespace varlo::test
