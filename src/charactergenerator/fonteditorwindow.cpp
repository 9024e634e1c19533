// SPDX-License-Identifier: GPL-3.0-or-later
#include "charactergenerator/fonteditorwindow.h"

#include "charactergenerator/glyphchange.h"
#include "charactergenerator/glyphedit.h"
#include "charactergenerator/glyphgrid.h"
#include "charactergenerator/pictureimportdialog.h"
#include "windowkit/dialogs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QLineEdit>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

namespace varlo {

namespace {

using Font = FontTable::Font;
using Columns = GlyphChange::Columns;

const QString kFilter = QStringLiteral("Font files (*.vlf)");
const QString kUntitled = QStringLiteral("untitled.vlf");
constexpr quint8 kRowsMask = (1u << FontTable::kGlyphRows) - 1;

Columns columnsOf(const FontFile &font, Font face, quint8 code)
{
    return GlyphChange::stateOf(font, face, code).columns;
}

// A glyph on the clipboard: its header and its 7 rows, as a font file
// writes them, so that it can be pasted into a text editor and back.
QString glyphText(const FontFile &font, Font face, quint8 code)
{
    const Columns columns = columnsOf(font, face, code);
    QString text =
        QStringLiteral("[%1] %2\n").arg(code, 3, 10, QLatin1Char('0')).arg(writtenFontLabel(font.label(face, code)));
    for (int row = 0; row < FontTable::kGlyphRows; ++row) {
        for (quint8 column : columns)
            text += (column >> row) & 1 ? QLatin1Char('#') : QLatin1Char('.');
        text += QLatin1Char('\n');
    }
    return text;
}

// The dots of the first 7 rows of 8 '#' and '.' in the text, or nothing.
std::optional<Columns> glyphFromText(const QString &text)
{
    static const QRegularExpression row(QStringLiteral("^[#.]{8}$"));
    Columns columns{};
    int rows = 0;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!row.match(trimmed).hasMatch())
            continue;
        for (int x = 0; x < FontTable::kGlyphBytes; ++x) {
            if (trimmed[x] == QLatin1Char('#'))
                columns[size_t(x)] |= quint8(1u << rows);
        }
        if (++rows == FontTable::kGlyphRows)
            return columns;
    }
    return std::nullopt;
}

// Every kind of picture this Qt reads, by extension.
QString pictureFilter()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return QStringLiteral("Pictures (%1);;All files (*)").arg(patterns.join(QLatin1Char(' ')));
}

} // namespace

FontEditorWindow::FontEditorWindow(Dialogs &dialogs, QWidget *parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs)
    , m_font(FontFile::builtIn())
    , m_undo(new QUndoStack(this))
{
    setWindowFlag(Qt::Window);
    auto *central = new QWidget(this);
    auto *layout = new QHBoxLayout(central);
    m_grid = new GlyphGrid(m_font, central);
    m_grid->setObjectName(QStringLiteral("GlyphGrid"));
    m_grid->setAccessibleName(tr("Glyphs of both fonts"));
    m_grid->setToolTip(tr("Click a glyph to draw it, or choose one with the arrow keys: the normal font at the "
                          "left, the bold at the right"));
    // The grid is as large as its glyphs; on a screen too small for it (a
    // large scale), it scrolls.
    auto *gridArea = new QScrollArea(central);
    gridArea->setObjectName(QStringLiteral("GlyphGridArea"));
    gridArea->setFrameShape(QFrame::NoFrame);
    gridArea->setFocusPolicy(Qt::NoFocus);
    gridArea->setWidget(m_grid);
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 4096, 4096);
    // What the screen leaves beside the glyph editor and its fields, and
    // below the bars.
    const QSize room(screen.width() - 360, screen.height() - 200);
    if (m_grid->width() <= room.width() && m_grid->height() <= room.height()) {
        gridArea->setFixedSize(m_grid->size());
    } else {
        const int bar = gridArea->verticalScrollBar()->sizeHint().width();
        gridArea->setMinimumSize(m_grid->size().boundedTo(room));
        gridArea->setMaximumSize(m_grid->size() + QSize(bar, bar));
    }
    layout->addWidget(gridArea, 0, Qt::AlignTop);

    auto *side = new QVBoxLayout;
    m_edit = new GlyphEdit(central);
    m_edit->setObjectName(QStringLiteral("GlyphEdit"));
    // Large enough to draw in, whatever the wrapped description beneath it.
    m_edit->setMinimumWidth(300);
    m_edit->setAccessibleName(tr("Glyph dots"));
    m_edit->setToolTip(tr("Click or drag to light or clear dots; arrow keys move, Space lights or clears"));
    side->addWidget(m_edit, 1);
    auto *form = new QFormLayout;
    m_label = new QLineEdit(central);
    m_label->setToolTip(tr("One character, U+XXXX, or a name in brackets such as (heart)"));
    form->addRow(tr("&Label:"), m_label);
    m_where = new QLabel(central);
    // Long descriptions wrap rather than widen the window.
    m_where->setWordWrap(true);
    form->addRow(tr("Code:"), m_where);
    m_insertButton = new QToolButton(central);
    form->addRow(QString(), m_insertButton);
    side->addLayout(form);
    layout->addLayout(side, 1);
    setCentralWidget(central);
    statusBar();

    buildActions();
    connect(m_grid, &GlyphGrid::chosen, this, &FontEditorWindow::choose);
    connect(m_edit, &GlyphEdit::edited, this,
            [this](const GlyphEdit::Columns &columns, int stroke) { pushColumns(columns, tr("Draw"), stroke); });
    connect(m_grid, &GlyphGrid::activated, m_edit, [this] { m_edit->setFocus(Qt::TabFocusReason); });
    // The overview first, then the glyph to draw on, its label, Insert.
    setTabOrder(m_grid, m_edit);
    setTabOrder(m_edit, m_label);
    setTabOrder(m_label, m_insertButton);
    connect(m_label, &QLineEdit::editingFinished, this, &FontEditorWindow::takeLabel);
    connect(m_undo, &QUndoStack::cleanChanged, this, [this] { updateCaption(); });

    showCurrent();
    updateCaption();
}

FontEditorWindow::~FontEditorWindow()
{
    // The undo steps point at m_font; they go first.
    m_undo->clear();
}

QAction *FontEditorWindow::addCommand(const QString &name, const QString &text, const QKeySequence &keys)
{
    auto *action = new QAction(text, this);
    action->setObjectName(name);
    action->setShortcut(keys);
    m_actions << action;
    return action;
}

QAction *FontEditorWindow::action(const QString &name) const
{
    for (QAction *a : m_actions) {
        if (a->objectName() == name)
            return a;
    }
    return nullptr;
}

void FontEditorWindow::buildActions()
{
    QAction *newAction = addCommand(QStringLiteral("new"), tr("&New"), QKeySequence::New);
    QAction *open = addCommand(QStringLiteral("open"), tr("&Open…"), QKeySequence::Open);
    QAction *saveAction = addCommand(QStringLiteral("save"), tr("&Save"), QKeySequence::Save);
    QAction *saveAsAction = addCommand(QStringLiteral("saveAs"), tr("Save &As…"), QKeySequence::SaveAs);
    // As in the main window: where the desktop defines no key for Save As,
    // the common one.
    if (saveAsAction->shortcut().isEmpty())
        saveAsAction->setShortcut(QKeySequence(tr("Ctrl+Shift+S")));
    QAction *useFontAction = addCommand(QStringLiteral("useFont"), tr("&Use This Font"), QKeySequence());
    useFontAction->setStatusTip(tr("Make this font the one the slots, the Preview and Initial use"));
    QAction *closeAction = addCommand(QStringLiteral("close"), tr("&Close"), QKeySequence::Close);
    QAction *undo = m_undo->createUndoAction(this, tr("&Undo"));
    undo->setObjectName(QStringLiteral("undo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = m_undo->createRedoAction(this, tr("&Redo"));
    redo->setObjectName(QStringLiteral("redo"));
    redo->setShortcut(QKeySequence::Redo);
    m_actions << undo << redo;
    QAction *copy = addCommand(QStringLiteral("copy"), tr("&Copy Glyph"), QKeySequence::Copy);
    QAction *paste = addCommand(QStringLiteral("paste"), tr("&Paste Glyph"), QKeySequence::Paste);
    QAction *toBold = addCommand(QStringLiteral("copyToBold"), tr("Copy Normal to &Bold"), QKeySequence(tr("Ctrl+B")));
    QAction *clear = addCommand(QStringLiteral("clear"), tr("C&lear Glyph"), QKeySequence::Delete);
    QAction *up = addCommand(QStringLiteral("shiftUp"), tr("Shift &Up"), QKeySequence(tr("Alt+Up")));
    QAction *down = addCommand(QStringLiteral("shiftDown"), tr("Shift &Down"), QKeySequence(tr("Alt+Down")));
    QAction *left = addCommand(QStringLiteral("shiftLeft"), tr("Shift &Left"), QKeySequence(tr("Alt+Left")));
    QAction *right = addCommand(QStringLiteral("shiftRight"), tr("Shift &Right"), QKeySequence(tr("Alt+Right")));
    QAction *import = addCommand(QStringLiteral("importPicture"), tr("&Import Picture…"), QKeySequence());
    import->setStatusTip(tr("Draw a picture into this glyph and the ones after it"));
    QAction *insert = addCommand(QStringLiteral("insert"), tr("&Insert"), QKeySequence(tr("Ctrl+I")));
    insert->setStatusTip(tr("Put this code at the caret of the slot you were typing in"));
    m_insertButton->setDefaultAction(insert);

    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addActions({newAction, open, saveAction, saveAsAction});
    file->addSeparator();
    file->addAction(useFontAction);
    file->addSeparator();
    file->addAction(closeAction);
    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    edit->addActions({undo, redo});
    edit->addSeparator();
    edit->addActions({copy, paste});
    QMenu *glyph = menuBar()->addMenu(tr("&Glyph"));
    glyph->addActions({toBold, clear});
    glyph->addSeparator();
    glyph->addActions({up, down, left, right});
    glyph->addSeparator();
    glyph->addAction(import);
    glyph->addSeparator();
    glyph->addAction(insert);

    connect(newAction, &QAction::triggered, this, &FontEditorWindow::newFont);
    connect(open, &QAction::triggered, this, &FontEditorWindow::openFont);
    connect(saveAction, &QAction::triggered, this, &FontEditorWindow::save);
    connect(saveAsAction, &QAction::triggered, this, &FontEditorWindow::saveAs);
    connect(useFontAction, &QAction::triggered, this, &FontEditorWindow::useThisFont);
    connect(import, &QAction::triggered, this, &FontEditorWindow::importPicture);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    connect(copy, &QAction::triggered, this, &FontEditorWindow::copyGlyph);
    connect(paste, &QAction::triggered, this, &FontEditorWindow::pasteGlyph);
    connect(toBold, &QAction::triggered, this, &FontEditorWindow::copyToBold);
    connect(clear, &QAction::triggered, this, [this] { pushColumns(Columns{}, tr("Clear")); });
    connect(up, &QAction::triggered, this, [this] { shift(0, -1); });
    connect(down, &QAction::triggered, this, [this] { shift(0, 1); });
    connect(left, &QAction::triggered, this, [this] { shift(-1, 0); });
    connect(right, &QAction::triggered, this, [this] { shift(1, 0); });
    connect(insert, &QAction::triggered, this, [this] { emit insertCode(m_code); });
}

bool FontEditorWindow::isModifiedFont() const
{
    return !m_undo->isClean();
}

void FontEditorWindow::choose(FontTable::Font face, quint8 code)
{
    takeLabel(); // a label being typed belongs to the glyph it was typed for
    m_face = face;
    m_code = code;
    m_grid->setCurrent(face, code);
    showCurrent();
}

void FontEditorWindow::showCurrent()
{
    m_edit->setColumns(columnsOf(m_font, m_face, m_code));
    m_label->setText(writtenFontLabel(m_font.label(m_face, m_code)));
    const Font other = m_face == Font::Normal ? Font::Bold : Font::Normal;
    m_where->setText(tr("%1 (0x%2), %3 face at panel address 0x%4; %5 face at 0x%6")
                         .arg(m_code)
                         .arg(m_code, 2, 16, QLatin1Char('0'))
                         .arg(m_face == Font::Normal ? tr("normal") : tr("bold"))
                         .arg(FontTable::offset(m_face, m_code), 4, 16, QLatin1Char('0'))
                         .arg(other == Font::Normal ? tr("normal") : tr("bold"))
                         .arg(FontTable::offset(other, m_code), 4, 16, QLatin1Char('0')));
}

void FontEditorWindow::glyphChanged(FontTable::Font face, quint8 code)
{
    m_grid->update();
    if (face == m_face && code == m_code)
        showCurrent();
}

void FontEditorWindow::pushChange(FontTable::Font face, quint8 code, const GlyphChange::State &after,
                                  const QString &text, int stroke)
{
    m_undo->push(new GlyphChange(
        m_font, face, code, after, text,
        [this](Font changedFace, quint8 changedCode) { glyphChanged(changedFace, changedCode); }, stroke));
}

void FontEditorWindow::pushColumns(const Columns &columns, const QString &text, int stroke)
{
    GlyphChange::State after = GlyphChange::stateOf(m_font, m_face, m_code);
    if (after.columns == columns)
        return;
    after.columns = columns;
    pushChange(m_face, m_code, after, text, stroke);
}

void FontEditorWindow::takeLabel()
{
    const QString written = m_label->text();
    if (written == writtenFontLabel(m_font.label(m_face, m_code)))
        return;
    QString why;
    const std::optional<QString> label = parseFontLabel(written, &why);
    if (label && !isNamedFontLabel(*label)) {
        for (int code = 0; code < FontTable::kGlyphCount; ++code) {
            if (code != m_code && m_font.label(m_face, quint8(code)) == *label)
                why = tr("\"%1\" is the label of code %2 already: a character means one code in a face")
                          .arg(*label)
                          .arg(code);
        }
    }
    if (!label || !why.isEmpty()) {
        statusBar()->showMessage(tr("Label not taken: %1").arg(why));
        m_label->setText(writtenFontLabel(m_font.label(m_face, m_code)));
        return;
    }
    GlyphChange::State after = GlyphChange::stateOf(m_font, m_face, m_code);
    after.label = *label;
    pushChange(m_face, m_code, after, tr("Label"));
}

void FontEditorWindow::copyGlyph()
{
    QApplication::clipboard()->setText(glyphText(m_font, m_face, m_code));
}

void FontEditorWindow::pasteGlyph()
{
    const std::optional<Columns> columns = glyphFromText(QApplication::clipboard()->text());
    if (!columns) {
        statusBar()->showMessage(tr("The clipboard holds no glyph: 7 rows of 8 '#' and '.'"));
        return;
    }
    pushColumns(*columns, tr("Paste"));
}

void FontEditorWindow::copyToBold()
{
    const Columns normal = columnsOf(m_font, Font::Normal, m_code);
    GlyphChange::State after = GlyphChange::stateOf(m_font, Font::Bold, m_code);
    if (after.columns == normal)
        return;
    after.columns = normal;
    pushChange(Font::Bold, m_code, after, tr("Copy Normal to Bold"));
}

// Moves every dot one place; dots pushed over the edge are lost, as on any
// dot editor, and undo brings them back.
void FontEditorWindow::shift(int dx, int dy)
{
    const Columns before = columnsOf(m_font, m_face, m_code);
    Columns after{};
    for (int x = 0; x < FontTable::kGlyphBytes; ++x) {
        const int from = x - dx;
        if (from < 0 || from >= FontTable::kGlyphBytes)
            continue;
        const quint8 column = before[size_t(from)];
        after[size_t(x)] = quint8((dy > 0 ? column << dy : column >> -dy) & kRowsMask);
    }
    pushColumns(after, tr("Shift"));
}

void FontEditorWindow::updateCaption()
{
    const QString name = m_fileName.isEmpty() ? kUntitled : QFileInfo(m_fileName).fileName();
    setWindowTitle(tr("Character Generator - %1[*]").arg(name));
    setWindowModified(isModifiedFont());
}

void FontEditorWindow::loadFont(const FontFile &font, const QString &fileName)
{
    m_undo->clear();
    m_font = font;
    m_fileName = fileName;
    m_grid->update();
    showCurrent();
    updateCaption();
}

bool FontEditorWindow::settleChanges()
{
    takeLabel();
    if (!isModifiedFont())
        return true;
    if (!m_dialogs.confirm(this, windowTitle().remove(QStringLiteral("[*]")), QStringLiteral(" Save change ?")))
        return true;
    return save();
}

void FontEditorWindow::useThisFont()
{
    // The font in use is a file: changes must be saved to be used. Cancel
    // leaves everything as it was.
    takeLabel();
    if (isModifiedFont()
        && (!m_dialogs.confirm(this, windowTitle().remove(QStringLiteral("[*]")), QStringLiteral(" Save change ?"))
            || !save()))
        return;
    emit useFont(m_fileName);
    statusBar()->showMessage(
        tr("The font in use is now %1.")
            .arg(m_fileName.isEmpty() ? tr("the built-in font") : QFileInfo(m_fileName).fileName()));
}

void FontEditorWindow::importPicture()
{
    const QString path = m_dialogs.openFileName(this, pictureFilter(), QString());
    if (path.isEmpty())
        return;
    QImageReader reader(path);
    // A photo comes in as it is seen, not as its camera held it.
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        m_dialogs.showMessage(this, tr("The picture can't be read."),
                              QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), reader.errorString()));
        return;
    }
    PictureImportDialog dialog(picture, m_code, this);
    if (!m_dialogs.runDialog(&dialog))
        return;
    std::vector<std::pair<quint8, GlyphChange::State>> changes;
    const std::vector<Columns> &glyphs = dialog.glyphs();
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const auto code = quint8(m_code + i);
        GlyphChange::State after = GlyphChange::stateOf(m_font, m_face, code);
        if (after.columns != glyphs[i]) {
            after.columns = glyphs[i];
            changes.emplace_back(code, after);
        }
    }
    if (changes.empty())
        return;
    // The whole picture is one step, however many glyphs it fills.
    m_undo->beginMacro(tr("Import Picture"));
    for (const auto &[code, after] : changes)
        pushChange(m_face, code, after, tr("Import Picture"));
    m_undo->endMacro();
}

void FontEditorWindow::newFont()
{
    if (settleChanges())
        loadFont(FontFile::builtIn(), QString());
}

void FontEditorWindow::openFont()
{
    if (!settleChanges())
        return;
    const QString path = m_dialogs.openFileName(this, kFilter, m_fileName);
    if (!path.isEmpty())
        openFile(path);
}

bool FontEditorWindow::openFile(const QString &path)
{
    const FontFileRead read = readFontFilePath(path);
    if (!read.font) {
        m_dialogs.showMessage(this, tr("The font file can't be used."),
                              QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), read.errorText()));
        return false;
    }
    loadFont(*read.font, path);
    if (!read.warnings.isEmpty())
        statusBar()->showMessage(read.warnings.join(QStringLiteral("; ")));
    return true;
}

bool FontEditorWindow::save()
{
    takeLabel();
    return m_fileName.isEmpty() ? saveAs() : saveTo(m_fileName);
}

bool FontEditorWindow::saveAs()
{
    takeLabel();
    QString path = m_dialogs.saveFileName(this, kFilter, m_fileName.isEmpty() ? kUntitled : m_fileName);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".vlf");
    return saveTo(path);
}

bool FontEditorWindow::saveTo(const QString &path)
{
    const QString reason = saveFontFile(path, m_font);
    if (!reason.isEmpty()) {
        m_dialogs.showMessage(this, tr("The font file can't be saved."), reason);
        return false;
    }
    m_fileName = path;
    m_undo->setClean();
    updateCaption();
    emit saved(path);
    return true;
}

void FontEditorWindow::closeEvent(QCloseEvent *event)
{
    if (settleChanges())
        event->accept();
    else
        event->ignore();
}

} // namespace varlo
