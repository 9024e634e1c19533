// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/document.h"

#include "files/documentname.h"

namespace varlo {

Document::Document(QObject *parent)
    : QObject(parent)
    , m_fileName(QString::fromLatin1(documentname::kUntitled))
{
}

bool Document::isUntitled() const
{
    return documentname::isUntitled(m_fileName);
}

QString Document::caption() const
{
    return QLatin1String(kCaptionPrefix) + m_fileName + QLatin1String(kCaptionSuffix);
}

void Document::setMarkup(int slot, const QByteArray &markup)
{
    if (markup == m_set.markup(slot))
        return;
    m_set.setMarkup(slot, markup);
    m_modified = true;
    emit slotChanged(slot);
}

void Document::stepSpeed(int slot)
{
    m_set.setSpeedCode(slot, MessageSet::nextSpeedCode(m_set.speedCode(slot)));
    m_modified = true;
    emit slotChanged(slot);
}

void Document::setRun(int slot, bool run)
{
    m_set.setRun(slot, run);
}

void Document::takeTextsAndSpeedCodes(const MessageSet &set)
{
    replaceTextsAndSpeedCodes(set);
    emit slotsReplaced();
}

void Document::replaceTextsAndSpeedCodes(const MessageSet &set)
{
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot) {
        if (set.markup(slot) != m_set.markup(slot)) {
            m_set.setMarkup(slot, set.markup(slot));
            m_modified = true;
        }
    }
    m_set.speedCodes() = set.speedCodes();
}

void Document::newDocument()
{
    MessageSet empty = m_set;
    empty.clearForNew();
    replaceTextsAndSpeedCodes(empty);
    setFileName(QString::fromLatin1(documentname::kUntitled));
    emit slotsReplaced();
}

MessageFileReadResult Document::open(const QString &path)
{
    MessageSet read = m_set;
    MessageFileReadResult result = readMessageFile(path, read);
    if (!result.replaced())
        return result;
    replaceTextsAndSpeedCodes(read);
    m_modified = false;
    setFileName(path);
    emit slotsReplaced();
    return result;
}

void Document::restoreUnsaved(const MessageSet &set, const QString &fileName)
{
    replaceTextsAndSpeedCodes(set);
    m_modified = true;
    setFileName(fileName);
    emit slotsReplaced();
}

MessageFileWriteResult Document::save()
{
    return saveAs(m_fileName);
}

MessageFileWriteResult Document::saveAs(const QString &path)
{
    MessageFileWriteResult result = writeMessageFile(path, m_set);
    if (result.ok()) {
        m_modified = false;
        setFileName(path);
        emit saved(path);
    }
    return result;
}

void Document::setFileName(const QString &name)
{
    if (name == m_fileName)
        return;
    m_fileName = name;
    emit fileNameChanged();
}

} // namespace varlo
