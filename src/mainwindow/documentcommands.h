// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace varlo {

class Dialogs;
class Document;
struct MessageFileWriteResult;

// The main window's document commands: New, Open, Save and Save As, and the
// question before New and Open replace unsaved edits. Nothing here loses
// work: a cancelled dialog or a failed read or write leaves the document,
// its name and its modified flag as they were.
class DocumentCommands : public QObject
{
    Q_OBJECT

public:
    DocumentCommands(Document &document, Dialogs &dialogs, QWidget *window);

    void newClicked();
    void openClicked();
    // What a confirmed Open does with the chosen path: reads the file into
    // the slots, or shows why it can't and changes nothing. The Open dialog
    // shows the path next time.
    void openDocument(const QString &path);
    // Returns whether the set was written.
    bool saveClicked();
    void saveAsClicked();

private:
    // Asks the Save dialog for a name, with ".vlo" added where it has no
    // extension. Empty when cancelled.
    QString askSaveName();
    // Before New or Open replace edits that are not saved: asks whether to
    // save them. True when the command may go on (saved, discarded, or
    // nothing to lose).
    bool changesMayGo();
    // Tells the user why a save to `path` failed, naming the file; returns
    // whether it succeeded.
    bool written(const QString &path, const MessageFileWriteResult &result);

    Document &m_document;
    Dialogs &m_dialogs;
    QWidget *m_window;
    // The name last confirmed in the Open dialog, which it shows next time.
    QString m_openDialogName;
};

} // namespace varlo
