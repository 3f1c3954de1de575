#pragma once

#include "platform/richtext/RtfTables.h"
#include "platform/richtext/RtfWords.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QTextFormat>
#include <QTextOption>

// The formatting state of the RTF reader that groups save and restore.
namespace richtext::detail {

// RTF sizes are half-points; Word's own limit is 1638 points.
inline constexpr int kDefaultHalfPoints = 24;
inline constexpr int kMaxHalfPoints = 3276;
// Lengths beyond 22 inches are damage.
inline constexpr int kMaxTwips = 31680;

struct CharState {
    int font = -1; // -1: the \deff font
    int halfPoints = kDefaultHalfPoints;
    int color = -1;      // -1: automatic, unlike \cf0, which names the table's first entry
    int background = -1; // -1: none
    int raise = 0;       // half-points, \up positive, \dn negative
    char vertical = 0;   // 'p' superscript, 'b' subscript
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool listText = false; // inside \pntext or \listtext
    bool operator==(const CharState&) const = default;
};

// Paragraph properties in twips, as RTF gives them.
struct ParaState {
    Qt::Alignment align = Qt::AlignLeft;
    int left = 0, right = 0, first = 0, before = 0, after = 0;
    int line = 0; // \sl: > 0 at least, < 0 exactly, 0 single
    bool lineMultiple = false;
    QList<QTextOption::Tab> tabs; // positions in document pixels
    QString leaders;              // one per tab stop
    char tabKind = 0;             // for the next \tx: 'r', 'c', 'd'
    char tabLeader = ' ';
    bool breakBefore = false;
    int shading = -1;
    bool inTable = false;
    QString listWords;
    bool operator==(const ParaState&) const = default;
};

// What a control word changes in the state; false for a word of another kind.
void changeCharacter(CharState& ch, Word word, bool hasParam, int param);
bool paragraphWord(ParaState& p, const WordInfo& info, bool hasParam, int param, QStringView raw);
bool tableWord(RowDef& row, const WordInfo& info, int param);

// The formats of a state; font numbers are places in `families` (-1: the
// document's default font), colours places in `colours`.
QTextCharFormat charFormat(const CharState& s, const QStringList& families, const QList<QColor>& colours);
QTextBlockFormat blockFormat(const ParaState& p, const QList<QColor>& colours);

} // namespace richtext::detail
