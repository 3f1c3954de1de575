#include "platform/richtext/RtfReader.h"

#include "platform/richtext/Cp1252.h"
#include "platform/richtext/Rtf.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace richtext::detail {

namespace {

// Groups nested deeper than this keep their text but not their formatting,
// which bounds the memory a hostile file can make us use.
constexpr int kMaxDepth = 256;
// No RTF control word is longer; longer runs of letters are unknown words.
constexpr int kMaxWordLength = 32;
constexpr long long kMaxParameter = 2'000'000'000;
// RTF sizes are half-points; Word's own limit is 1638 points.
constexpr int kDefaultHalfPoints = 24;
constexpr int kMaxHalfPoints = 3276;
constexpr int kMaxUnicodeSkip = 16;
constexpr int kMaxFontNameLength = 256;
// Table entries beyond these are ignored: no report needs more, and a
// hostile table would otherwise cost memory in proportion to its length.
constexpr int kMaxFonts = 1024;
constexpr int kMaxColors = 1024;
// QTextDocument finds a format by a hash in which every font family counts
// the same, so each family in use slows every text insertion; text in a
// family beyond this many is shown in the default font.
constexpr int kMaxFamiliesInUse = 32;

enum class Dest : unsigned char { Text, FontTable, ColorTable, Skip };

enum class Word : unsigned char {
    Unknown,
    FontTable, ColorTable, SkipDestination,
    Plain, Bold, Italic, Underline, UnderlineNone, Strike, Font, FontSize, Color,
    Pard, AlignLeft, AlignCenter, AlignRight, AlignJustify,
    Par, Char, Unicode, UnicodeSkip, Bin, DefaultFont, Red, Green, Blue,
};

struct WordInfo {
    Word word = Word::Unknown;
    char16_t ch = 0; // the character a Word::Char stands for
};

const std::unordered_map<std::string_view, WordInfo>& words()
{
    static const std::unordered_map<std::string_view, WordInfo> table = [] {
        std::unordered_map<std::string_view, WordInfo> t;
        t["fonttbl"] = {Word::FontTable};
        t["colortbl"] = {Word::ColorTable};
        // Destinations whose content is not part of the body text.
        for (const char* name :
             {"stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf",
              "footer", "footerl", "footerr", "footerf", "listtable", "listoverridetable",
              "generator", "rsidtbl", "xmlnstbl", "themedata", "colorschememapping",
              "latentstyles", "datastore", "fldinst", "footnote", "annotation", "atnid",
              "atnauthor", "atndate", "atnref", "bkmkstart", "bkmkend", "objdata",
              "objclass", "objname", "nonshppict", "shpinst", "revtbl", "filetbl",
              "pgdsctbl", "template", "userprops", "docvar", "xe", "tc", "txe", "pn",
              "ftnsep", "ftnsepc", "aftnsep", "aftnsepc", "mmathPr", "comment"})
            t[name] = {Word::SkipDestination};
        t["plain"] = {Word::Plain};
        t["b"] = {Word::Bold};
        t["i"] = {Word::Italic};
        for (const char* name : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave",
                                 "ulldash", "ulth", "ulthd", "ulthdash", "ulthdashd",
                                 "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t[name] = {Word::Underline};
        t["ulnone"] = {Word::UnderlineNone};
        t["strike"] = {Word::Strike};
        t["striked"] = {Word::Strike};
        t["f"] = {Word::Font};
        t["fs"] = {Word::FontSize};
        t["cf"] = {Word::Color};
        t["pard"] = {Word::Pard};
        t["ql"] = {Word::AlignLeft};
        t["qc"] = {Word::AlignCenter};
        t["qr"] = {Word::AlignRight};
        t["qj"] = {Word::AlignJustify};
        // Tables and sections are flattened into paragraphs and tabs.
        for (const char* name : {"par", "sect", "row", "page"})
            t[name] = {Word::Par};
        t["tab"] = {Word::Char, u'\t'};
        t["cell"] = {Word::Char, u'\t'};
        t["nestcell"] = {Word::Char, u'\t'};
        t["line"] = {Word::Char, QChar::LineSeparator};
        t["emdash"] = {Word::Char, 0x2014};
        t["endash"] = {Word::Char, 0x2013};
        t["emspace"] = {Word::Char, 0x2003};
        t["enspace"] = {Word::Char, 0x2002};
        t["qmspace"] = {Word::Char, 0x2005};
        t["bullet"] = {Word::Char, 0x2022};
        t["lquote"] = {Word::Char, 0x2018};
        t["rquote"] = {Word::Char, 0x2019};
        t["ldblquote"] = {Word::Char, 0x201C};
        t["rdblquote"] = {Word::Char, 0x201D};
        t["zwj"] = {Word::Char, 0x200D};
        t["zwnj"] = {Word::Char, 0x200C};
        t["u"] = {Word::Unicode};
        t["uc"] = {Word::UnicodeSkip};
        t["bin"] = {Word::Bin};
        t["deff"] = {Word::DefaultFont};
        t["red"] = {Word::Red};
        t["green"] = {Word::Green};
        t["blue"] = {Word::Blue};
        return t;
    }();
    return table;
}

bool isLetter(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char16_t c) { return c >= '0' && c <= '9'; }

// Control characters and the markers QTextDocument uses for frames and
// objects would corrupt the document's structure.
bool isTextCharacter(char16_t c)
{
    if (c < 0x20 || c == 0x7F)
        return c == '\t';
    return c != 0xFDD0 && c != 0xFDD1 && c != QChar::ObjectReplacementCharacter;
}

// A character that is text as it stands, neither syntax nor a character
// the reader must drop or turn into a paragraph.
bool isRunCharacter(char16_t c)
{
    return c != '{' && c != '}' && c != '\\' && c != QChar::ParagraphSeparator
           && isTextCharacter(c);
}

int hexValue(char16_t c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct CharState {
    int font = -1; // -1: the \deff font
    int halfPoints = kDefaultHalfPoints;
    int color = -1; // -1: automatic, unlike \cf0, which names the table's first entry
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool operator==(const CharState&) const = default;
};

// What a group restores when it closes.
struct GroupState {
    CharState ch;
    Qt::Alignment align = Qt::AlignLeft;
    int unicodeSkip = 1;
    Dest dest = Dest::Text;
};

class Reader {
public:
    Reader(QTextDocument* doc, QStringView rtf) : cursor_(doc), in_(rtf)
    {
        stack_.reserve(kMaxDepth + 1);
        stack_.push_back(GroupState{});
        // Anything before the first group (white space) is not content.
        pos_ = std::max<qsizetype>(in_.indexOf(u'{'), 0);
        // Text after the root group closes is kept only when something
        // other than braces and white space follows (a stray '}' mid-file).
        lastContent_ = in_.size();
        while (lastContent_ > 0) {
            const char16_t c = in_[lastContent_ - 1].unicode();
            if (c != '}' && c != ' ' && c != '\r' && c != '\n' && c != '\t' && c != 0)
                break;
            --lastContent_;
        }
    }

    void run()
    {
        cursor_.beginEditBlock();
        while (pos_ < in_.size() && !done_) {
            const char16_t c = in_[pos_++].unicode();
            switch (c) {
            case '{': openGroup(); break;
            case '}': closeGroup(); break;
            case '\\': readControl(); break;
            case '\r':
            case '\n': break;
            default:
                groupStart_ = false;
                if (consumeSkipped())
                    break;
                if (dest() == Dest::Text && isRunCharacter(c))
                    appendText(readRun());
                else if (dest() == Dest::Skip && isRunCharacter(c))
                    readRun();
                else
                    put(c);
                break;
            }
        }
        finish();
        cursor_.endEditBlock();
    }

private:
    GroupState& top() { return stack_.back(); }

    // Formatting changes are dropped inside groups beyond the depth limit.
    bool deep() const { return overflow_ > 0; }

    Dest dest() const { return overflowSkipFrom_ > 0 ? Dest::Skip : stack_.back().dest; }

    void openGroup()
    {
        skipCount_ = 0;
        groupStart_ = true;
        if (stack_.size() > kMaxDepth || deep())
            ++overflow_;
        else
            stack_.push_back(GroupState(stack_.back()));
    }

    void closeGroup()
    {
        skipCount_ = 0;
        groupStart_ = false;
        if (deep()) {
            if (overflow_ == overflowSkipFrom_)
                overflowSkipFrom_ = 0;
            --overflow_;
            return;
        }
        if (top().dest == Dest::FontTable)
            commitFont();
        if (stack_.size() > 2) {
            stack_.pop_back();
            return;
        }
        // The root group closes: the end of the document unless content follows.
        if (pos_ >= lastContent_)
            done_ = true;
    }

    void setDestination(Dest d)
    {
        if (deep()) {
            if (overflowSkipFrom_ == 0)
                overflowSkipFrom_ = overflow_;
            return;
        }
        top().dest = d;
        if (d == Dest::FontTable)
            fontNumber_ = -1;
        if (d == Dest::ColorTable)
            colorSet_ = false;
    }

    // A character inside the \ucN fallback after a \uN is dropped.
    bool consumeSkipped()
    {
        if (skipCount_ == 0)
            return false;
        --skipCount_;
        return true;
    }

    void readControl()
    {
        if (pos_ >= in_.size())
            return;
        const char16_t first = in_[pos_].unicode();
        if (!isLetter(first)) {
            ++pos_;
            readSymbol(first);
            return;
        }
        const qsizetype start = pos_;
        while (pos_ < in_.size() && isLetter(in_[pos_].unicode()))
            ++pos_;
        const qsizetype length = pos_ - start;
        char name[kMaxWordLength];
        for (qsizetype i = 0; i < length && i < kMaxWordLength; ++i)
            name[i] = char(in_[start + i].unicode());

        bool hasParam = false;
        const int param = readParameter(hasParam);
        if (pos_ < in_.size() && in_[pos_] == u' ') // the delimiter is not text
            ++pos_;

        WordInfo info;
        if (length <= kMaxWordLength) {
            const auto it = words().find(std::string_view(name, size_t(length)));
            if (it != words().end())
                info = it->second;
        }
        handleWord(info, hasParam, param);
    }

    // The optional signed number after a control word, capped so that a
    // long run of digits neither overflows nor costs more than reading it.
    int readParameter(bool& hasParam)
    {
        long long value = 0;
        bool negative = false;
        if (pos_ + 1 < in_.size() && in_[pos_] == u'-' && isDigit(in_[pos_ + 1].unicode())) {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && isDigit(in_[pos_].unicode())) {
            hasParam = true;
            if (value < kMaxParameter)
                value = value * 10 + (in_[pos_].unicode() - '0');
            ++pos_;
        }
        value = std::min(value, kMaxParameter);
        return int(negative ? -value : value);
    }

    void readSymbol(char16_t c)
    {
        if (c == '*') {
            // {\* ...}: a destination to ignore, unless the word after it
            // is one we read (see handleWord).
            if (groupStart_)
                setDestination(Dest::Skip);
            return;
        }
        groupStart_ = false;
        if (c == '\'') {
            readHexByte();
            return;
        }
        if (consumeSkipped())
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}': put(c); break;
        case '~': put(0x00A0); break;
        case '-': put(0x00AD); break;
        case '_': put(0x2011); break;
        case '\r':
        case '\n': paragraph(); break;
        default: break; // \| \: and unknown symbols
        }
    }

    void readHexByte()
    {
        int byte = -1;
        for (int i = 0; i < 2 && pos_ < in_.size(); ++i) {
            const int v = hexValue(in_[pos_].unicode());
            if (v < 0)
                break;
            byte = byte < 0 ? v : byte * 16 + v;
            ++pos_;
        }
        if (consumeSkipped() || byte < 0)
            return;
        put(cp1252::toUnicode((unsigned char)byte));
    }

    void handleWord(const WordInfo& info, bool hasParam, int param)
    {
        const bool atGroupStart = groupStart_;
        groupStart_ = false;
        if (info.word == Word::Bin) {
            // Binary data is never text; skip it without reading past the end.
            if (param > 0)
                pos_ += std::min<qsizetype>(param, in_.size() - pos_);
            consumeSkipped();
            return;
        }
        if (consumeSkipped())
            return;
        switch (info.word) {
        case Word::Unknown: break;
        case Word::FontTable:
        case Word::ColorTable:
        case Word::SkipDestination:
            // A destination word only counts at the start of its group, so
            // a stray one cannot swallow the rest of the document.
            if (atGroupStart)
                setDestination(info.word == Word::FontTable    ? Dest::FontTable
                               : info.word == Word::ColorTable ? Dest::ColorTable
                                                               : Dest::Skip);
            break;
        case Word::Font:
            if (dest() == Dest::FontTable) { // the number of the entry that follows
                commitFont();
                fontNumber_ = hasParam ? param : -1;
                break;
            }
            [[fallthrough]];
        case Word::Plain:
        case Word::Bold:
        case Word::Italic:
        case Word::Underline:
        case Word::UnderlineNone:
        case Word::Strike:
        case Word::FontSize:
        case Word::Color:
            if (!deep())
                changeCharacter(top().ch, info.word, hasParam, param);
            break;
        case Word::Pard:
            if (!deep())
                top().align = Qt::AlignLeft;
            break;
        case Word::AlignLeft: align(Qt::AlignLeft); break;
        case Word::AlignCenter: align(Qt::AlignHCenter); break;
        case Word::AlignRight: align(Qt::AlignRight); break;
        case Word::AlignJustify: align(Qt::AlignJustify); break;
        case Word::Par: paragraph(); break;
        case Word::Char: put(info.ch); break;
        case Word::Unicode:
            if (hasParam) {
                const int code = param < 0 ? param + 65536 : param;
                if (code > 0 && code <= 0xFFFF)
                    put(char16_t(code));
            }
            skipCount_ = top().unicodeSkip;
            break;
        case Word::UnicodeSkip:
            if (!deep())
                top().unicodeSkip = std::clamp(param, 0, kMaxUnicodeSkip);
            break;
        case Word::DefaultFont:
            defaultFont_ = param;
            break;
        case Word::Red: colorComponent(red_, param); break;
        case Word::Green: colorComponent(green_, param); break;
        case Word::Blue: colorComponent(blue_, param); break;
        case Word::Bin: break;
        }
    }

    static void changeCharacter(CharState& ch, Word word, bool hasParam, int param)
    {
        const bool on = !hasParam || param != 0; // \b on, \b0 off
        switch (word) {
        case Word::Plain: ch = CharState{}; break;
        case Word::Bold: ch.bold = on; break;
        case Word::Italic: ch.italic = on; break;
        case Word::Underline: ch.underline = on; break;
        case Word::UnderlineNone: ch.underline = false; break;
        case Word::Strike: ch.strike = on; break;
        case Word::Font:
            if (hasParam)
                ch.font = param;
            break;
        case Word::FontSize:
            ch.halfPoints =
                hasParam && param > 0 ? std::min(param, kMaxHalfPoints) : kDefaultHalfPoints;
            break;
        case Word::Color: ch.color = std::max(param, 0); break;
        default: break;
        }
    }

    void align(Qt::Alignment a)
    {
        if (!deep())
            top().align = a;
    }

    void colorComponent(int& component, int value)
    {
        if (dest() != Dest::ColorTable)
            return;
        component = std::clamp(value, 0, 255);
        colorSet_ = true;
    }

    // One character of the current destination.
    void put(char16_t c)
    {
        switch (dest()) {
        case Dest::Text:
            if (c == QChar::ParagraphSeparator)
                paragraph();
            else if (isTextCharacter(c))
                appendText(QStringView(&c, 1));
            break;
        case Dest::FontTable:
            if (c == ';')
                commitFont();
            else if (c >= 0x20 && isTextCharacter(c) && fontName_.size() < kMaxFontNameLength)
                fontName_ += QChar(c);
            break;
        case Dest::ColorTable:
            if (c == ';') {
                // An entry without components is "automatic".
                if (colors_.size() < kMaxColors)
                    colors_.append(colorSet_ ? QColor(red_, green_, blue_) : QColor());
                red_ = green_ = blue_ = 0;
                colorSet_ = false;
                formatValid_ = false;
            }
            break;
        case Dest::Skip: break;
        }
    }

    void commitFont()
    {
        const QString name = fontName_.trimmed();
        fontName_.clear();
        if (fontNumber_ >= 0 && !name.isEmpty()
            && (fonts_.size() < kMaxFonts || fonts_.contains(fontNumber_)))
            fonts_.insert(fontNumber_, name);
    }

    // Plain text between control words, the bulk of a report (or of a
    // picture's data), is taken in one piece from the character just read on.
    QStringView readRun()
    {
        const qsizetype start = pos_ - 1;
        while (pos_ < in_.size() && isRunCharacter(in_[pos_].unicode()))
            ++pos_;
        return in_.sliced(start, pos_ - start);
    }

    void appendText(QStringView text)
    {
        if (paragraphPending_ && !openParagraph())
            return;
        const qsizetype room = richtext::kMaxCharacters - characters_;
        if (text.size() >= room) {
            text.truncate(room);
            done_ = true;
        }
        characters_ += text.size();
        const CharState state = shown(top().ch);
        if (!pending_.isEmpty() && !(pendingState_ == state))
            flushText();
        pendingState_ = state;
        pending_ += text;
    }

    void flushText()
    {
        if (pending_.isEmpty())
            return;
        cursor_.insertText(pending_, format(pendingState_));
        pending_.clear();
        blockHasText_ = true;
    }

    // A \par ends the current paragraph; the next one is only created when
    // something follows, so the customary final \par adds no empty line.
    void paragraph()
    {
        if (dest() != Dest::Text)
            return;
        flushText();
        if (paragraphPending_ && !openParagraph())
            return;
        applyBlockFormat();
        paragraphPending_ = true;
    }

    // Opens the paragraph a \par announced; false once the document holds
    // as many paragraphs as a report may, which ends the reading.
    bool openParagraph()
    {
        flushText();
        if (paragraphs_ >= richtext::kMaxParagraphs) {
            done_ = true;
            return false;
        }
        ++paragraphs_;
        blockCharFormat_ = format(shown(top().ch));
        cursor_.insertBlock(QTextBlockFormat(), blockCharFormat_);
        blockHasText_ = false;
        paragraphPending_ = false;
        return true;
    }

    void applyBlockFormat()
    {
        // An empty line is as tall as the font in effect where it ends.
        if (!blockHasText_) {
            const QTextCharFormat& now = format(shown(top().ch));
            if (blockCharFormat_ != now) {
                blockCharFormat_ = now;
                cursor_.setBlockCharFormat(now);
            }
        }
        const Qt::Alignment a = top().align;
        if (a == Qt::AlignLeft)
            return;
        QTextBlockFormat block;
        block.setAlignment(a);
        cursor_.setBlockFormat(block);
    }

    void finish()
    {
        flushText();
        if (!paragraphPending_)
            applyBlockFormat();
    }

    // The state as the document shows it: the font number becomes the place
    // of its family in families_ (-1: the document's default font), so that
    // text in fonts that look the same goes in as one piece.
    CharState shown(CharState s)
    {
        const auto font = fonts_.constFind(s.font < 0 ? defaultFont_ : s.font);
        s.font = font == fonts_.constEnd() ? -1 : familyId(*font);
        return s;
    }

    int familyId(const QString& family)
    {
        const auto it = familyIds_.constFind(family);
        if (it != familyIds_.constEnd())
            return *it;
        if (families_.size() >= kMaxFamiliesInUse)
            return -1;
        familyIds_.insert(family, int(families_.size()));
        families_.append(family);
        return int(families_.size() - 1);
    }

    // The format of a state as shown().
    const QTextCharFormat& format(const CharState& s)
    {
        if (formatValid_ && formatState_ == s)
            return format_;
        QTextCharFormat f;
        if (s.font >= 0)
            f.setFontFamilies({families_[s.font]});
        f.setFontPointSize(s.halfPoints / 2.0);
        f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(s.italic);
        f.setFontUnderline(s.underline);
        f.setFontStrikeOut(s.strike);
        if (s.color >= 0 && s.color < colors_.size() && colors_[s.color].isValid())
            f.setForeground(colors_[s.color]);
        format_ = f;
        formatState_ = s;
        formatValid_ = true;
        return format_;
    }

    QTextCursor cursor_;
    QStringView in_;
    qsizetype pos_ = 0;
    qsizetype lastContent_ = 0;
    bool done_ = false;

    QList<GroupState> stack_;
    int overflow_ = 0;         // open groups beyond the depth limit
    int overflowSkipFrom_ = 0; // the deep group that started a skipped destination
    bool groupStart_ = false;  // nothing but \* read since the last '{'
    int skipCount_ = 0;        // fallback characters still to drop after \uN

    int defaultFont_ = 0;
    QHash<int, QString> fonts_;
    int fontNumber_ = -1;
    QString fontName_;
    QList<QColor> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;

    QHash<QString, int> familyIds_;
    QStringList families_; // the families text uses, in order of first use

    QString pending_;
    CharState pendingState_;
    bool paragraphPending_ = false;
    int paragraphs_ = 1; // a document always holds one
    qsizetype characters_ = 0;
    bool blockHasText_ = false;
    QTextCharFormat blockCharFormat_; // what an empty current block is as tall as

    QTextCharFormat format_;
    CharState formatState_;
    bool formatValid_ = false;
};

} // namespace

void readRtf(QTextDocument* doc, QStringView rtf)
{
    Reader(doc, rtf).run();
}

} // namespace richtext::detail
