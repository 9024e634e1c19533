// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/markuptext.h"
#include "charset/panelcharmap.h"

#include <QByteArray>
#include <QString>

namespace varlo::cli {

// Slot texts between the command line and the panel's bytes, both ways.
//
// As text (the default), an argument is read in the locale's encoding,
// UTF-8 as Qt 6 takes it on every Unix system, the C and POSIX locales
// included, and each character becomes the byte the panel draws as it, a
// picture its escape, a typographic character its plain look-alike
// (PanelCharMap::fromText). Escapes are plain ASCII and pass as they are.
//
// Raw (--raw), the argument's bytes go into the slot as they are, except
// that \xNN is the byte NN and \\ one backslash: so every byte a slot can
// hold can be given (all but 0x00, which would end the slot's text in a
// file), and show --raw's output comes back unchanged.

// The error and outcome types are the core's, shared with schedule files.
using varlo::TextError;
using varlo::TextResult;

// argument: the command line's bytes, as they came.
// map: the meaning of the codes, the built-in fonts' or a font file's.
TextResult markupFromArgument(const QByteArray &argument, const PanelCharMap &map = PanelCharMap::builtIn());
TextResult markupFromRaw(const QByteArray &argument);

// A slot's bytes as text through the same map, escapes as they are: one
// character per byte, none of them a line break, so it fits one line and
// markupFromArgument() gives the bytes back.
QString markupAsText(const QByteArray &markup, const PanelCharMap &map = PanelCharMap::builtIn());
// The bytes with printable ASCII as it is, a backslash doubled and every
// other byte, the double quote too, as \xNN: one line, plain ASCII, and the
// same bytes back through markupFromRaw() or bash's printf '%b'.
QString markupAsRaw(const QByteArray &markup);

} // namespace varlo::cli
