#pragma once
// The editor font as the settings store keeps it (EditorFontRecord) and as
// the editor shows it.

#include "app/SettingsRecords.h"

#include <QColor>
#include <QFont>

class QPlainTextEdit;

namespace cryptcmd {

// The font a record stands for; an all-zero record is the platform's default.
QFont fontFromRecord(const app::EditorFontRecord &rec);
// The text colour of a record; invalid for the default (system) colour.
QColor colorFromRecord(const app::EditorFontRecord &rec);

bool isDefaultRecord(const app::EditorFontRecord &rec);

} // namespace cryptcmd

// These two stay in the global namespace: a namespace named "crypt" would
// clash with POSIX crypt() from <unistd.h>.
// Start-up applies the stored font with this; the font command too.
void applyEditorFontRecord(QPlainTextEdit *edit, const app::EditorFontRecord &rec);
// The record of a chosen font: colour as 0x00BBGGRR; height in pixels at
// 96 dpi, negative for the character height; name cut to 31 characters;
// pitch 2 fixed, 1 variable; size in points; style bits bold, italic,
// underline, strike-out.
app::EditorFontRecord fontRecordFrom(const QFont &font, const QColor &color);
