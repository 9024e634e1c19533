// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charactergenerator/glyphchange.h"
#include "charset/fontfile.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QLineEdit;
class QToolButton;
class QUndoStack;

namespace varlo {

class Dialogs;
class GlyphEdit;
class GlyphGrid;

// The Character Generator: a font's 2 x 256 glyphs as a grid of LED cells,
// the chosen one large to draw on, its label, and the commands that change
// a glyph (copy, paste, normal to bold, clear, shift, a picture imported),
// each one an undo step, as is each stroke of the mouse. New starts from the
// built-in font; Open, Save and Save As work on .vlf font files; closing
// with changes asks " Save change ?" as the main window does, and so does
// Use This Font, which makes the saved file the font in use. Boxes and
// dialogs go through `dialogs`, which the main window lends.
class FontEditorWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit FontEditorWindow(Dialogs &dialogs, QWidget *parent = nullptr);
    ~FontEditorWindow() override;

    const FontFile &font() const { return m_font; }
    // The file the font came from or went to; empty for a new font.
    const QString &fileName() const { return m_fileName; }
    bool isModifiedFont() const;

    // Opens the font file; false, with a message, when it can't be used.
    bool openFile(const QString &path);
    // Asks " Save change ?" when there are changes (a label being typed
    // included), and saves for OK. False: the changes are still there.
    bool settleChanges();
    // Chooses the glyph to draw on.
    void choose(FontTable::Font face, quint8 code);

    GlyphGrid *grid() const { return m_grid; }
    GlyphEdit *glyphEdit() const { return m_edit; }
    QLineEdit *labelEdit() const { return m_label; }
    QUndoStack *undoStack() const { return m_undo; }
    // The window's commands by object name ("save", "copyToBold", ...).
    QAction *action(const QString &name) const;

signals:
    // "Insert": the chosen code is to go into the slot being typed in.
    void insertCode(quint8 code);
    // "Use This Font": the font file to use, saved; empty for the built-in
    // font (a new font, unchanged).
    void useFont(const QString &path);
    // The font was saved to this file.
    void saved(const QString &path);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QAction *addCommand(const QString &name, const QString &text, const QKeySequence &keys);
    void buildActions();

    void newFont();
    void openFont();
    bool save();
    bool saveAs();
    bool saveTo(const QString &path);
    void useThisFont();
    void importPicture();
    void loadFont(const FontFile &font, const QString &fileName);

    void pushChange(FontTable::Font face, quint8 code, const GlyphChange::State &after, const QString &text,
                    int stroke = 0);
    void pushColumns(const std::array<quint8, FontTable::kGlyphBytes> &columns, const QString &text, int stroke = 0);
    void takeLabel();
    void copyGlyph();
    void pasteGlyph();
    void copyToBold();
    void shift(int dx, int dy);
    void glyphChanged(FontTable::Font face, quint8 code);
    void showCurrent();
    void updateCaption();

    Dialogs &m_dialogs;
    FontFile m_font;
    QString m_fileName;
    FontTable::Font m_face = FontTable::Font::Normal;
    quint8 m_code = 65;
    GlyphGrid *m_grid = nullptr;
    GlyphEdit *m_edit = nullptr;
    QLineEdit *m_label = nullptr;
    QLabel *m_where = nullptr;
    QToolButton *m_insertButton = nullptr;
    QUndoStack *m_undo = nullptr;
    QList<QAction *> m_actions;
};

} // namespace varlo
