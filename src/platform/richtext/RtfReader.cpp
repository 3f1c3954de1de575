#include "platform/richtext/RtfReader.h"

#include "platform/richtext/Cp1252.h"
#include "platform/richtext/Formats.h"
#include "platform/richtext/Pictures.h"
#include "platform/richtext/Rtf.h"
#include "platform/richtext/RtfPictures.h"
#include "platform/richtext/RtfState.h"
#include "platform/richtext/RtfTables.h"
#include "platform/richtext/RtfWords.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <string_view>

namespace richtext::detail {

namespace {

// Groups nested deeper than this keep their text but not their formatting,
// which bounds the memory a hostile file can make us use.
constexpr int kMaxDepth = 256;
// No RTF control word is longer; longer runs of letters are unknown words.
constexpr int kMaxWordLength = 32;
constexpr long long kMaxParameter = 2'000'000'000;
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
constexpr int kMaxPictures = 10000;
// \deftab when a report gives none: what the rich-edit control writes.
constexpr int kDefaultTabTwips = 720;

enum class Dest : unsigned char { Text, FontTable, ColorTable, Picture, Skip };

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

// What a group restores when it closes.
struct GroupState {
    CharState ch;
    ParaState para;
    int unicodeSkip = 1;
    Dest dest = Dest::Text;
    qsizetype keptFrom = -1; // where the group opened, when it is kept as written
};

class Reader {
public:
    Reader(QTextDocument* doc, QStringView rtf) : doc_(doc), cursor_(doc), in_(rtf)
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
                else if (dest() == Dest::Picture && isRunCharacter(c))
                    picture_.hex(readRun());
                else if (dest() == Dest::Skip && isRunCharacter(c))
                    readRun();
                else
                    put(c);
                break;
            }
        }
        finish();
        cursor_.endEditBlock();
        // Only now: a layout made before would lay out every insertion.
        if (pictures_ > 0)
            enablePictures(doc_);
    }

private:
    GroupState& top() { return stack_.back(); }

    // Formatting changes are dropped inside groups beyond the depth limit.
    bool deep() const { return overflow_ > 0; }

    Dest dest() const { return overflowSkipFrom_ > 0 ? Dest::Skip : stack_.back().dest; }
    Dest parentDest() const { return stack_.size() > 2 ? stack_[stack_.size() - 2].dest : Dest::Text; }

    void openGroup()
    {
        skipCount_ = 0;
        groupStart_ = true;
        starred_ = false;
        groupOpen_ = pos_ - 1;
        if (stack_.size() > kMaxDepth || deep()) {
            ++overflow_;
            return;
        }
        stack_.push_back(GroupState(stack_.back()));
        top().keptFrom = -1;
        if (top().dest == Dest::Picture) { // the picture's own groups are kept as written
            top().dest = Dest::Skip;
            top().keptFrom = groupOpen_;
        }
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
            const GroupState closed = stack_.takeLast();
            if (closed.keptFrom >= 0)
                keepGroup(in_.sliced(closed.keptFrom, pos_ - closed.keptFrom));
            if (closed.dest == Dest::Picture && top().dest != Dest::Picture)
                insertPicture();
            return;
        }
        // The root group closes: the end of the document unless content follows.
        if (pos_ >= lastContent_)
            done_ = true;
    }

    // A group the reader does not read, as written: a picture's, the
    // document's (before the first paragraph) or the paragraph's.
    void keepGroup(QStringView raw)
    {
        if (top().dest == Dest::Picture)
            picture_.group(raw);
        else if (!bodyStarted_)
            documentGroups_.append(raw.toString());
        else
            keptGroups_.append(raw.toString());
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
        const QStringView raw = in_.sliced(start - 1, pos_ - start + 1);
        if (pos_ < in_.size() && in_[pos_] == u' ') // the delimiter is not text
            ++pos_;

        WordInfo info;
        if (length <= kMaxWordLength)
            info = lookUp(std::string_view(name, size_t(length)));
        handleWord(info, hasParam, param, raw);
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
            if (groupStart_) {
                setDestination(Dest::Skip);
                starred_ = true;
            }
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
        // The bullet of the Symbol font, which list paragraphs use, is the
        // bullet wherever the font maps its characters differently.
        if (byte == 0xB7 && fonts_.value(top().ch.font < 0 ? defaultFont_ : top().ch.font) == u"Symbol") {
            put(0x2022);
            return;
        }
        put(cp1252::toUnicode((unsigned char)byte));
    }

    void handleWord(const WordInfo& info, bool hasParam, int param, QStringView raw)
    {
        const bool atGroupStart = groupStart_;
        const bool starred = starred_ && atGroupStart;
        groupStart_ = false;
        starred_ = false;
        if (info.word == Word::Bin) {
            // Binary data is never text; skip it without reading past the end.
            const qsizetype n = param > 0 ? std::min<qsizetype>(param, in_.size() - pos_) : 0;
            if (dest() == Dest::Picture)
                picture_.binary(in_.sliced(pos_, n));
            pos_ += n;
            consumeSkipped();
            return;
        }
        if (dest() == Dest::Picture) {
            picture_.word(raw, info.word, hasParam, param);
            return;
        }
        if (consumeSkipped())
            return;
        switch (info.word) {
        case Word::Unknown:
            // {\*\xyz ...} in the text: kept as written.
            if (starred && !deep() && stack_.size() > 2 && parentDest() == Dest::Text)
                top().keptFrom = groupOpen_;
            break;
        case Word::FontTable:
        case Word::ColorTable:
        case Word::SkipDestination:
            // A destination word only counts at the start of its group, so
            // a stray one cannot swallow the rest of the document, and not in
            // a group skipped (or kept as written) as a whole.
            if (atGroupStart && (dest() != Dest::Skip || info.word == Word::SkipDestination))
                setDestination(info.word == Word::FontTable    ? Dest::FontTable
                               : info.word == Word::ColorTable ? Dest::ColorTable
                                                               : Dest::Skip);
            break;
        case Word::Picture:
            if (atGroupStart && !deep() && parentDest() == Dest::Text && pictures_ < kMaxPictures) {
                setDestination(Dest::Picture);
                picture_.start();
            } else if (atGroupStart) {
                setDestination(Dest::Skip);
            }
            break;
        case Word::PictureShape: // {\*\shppict {\pict ...}}: the picture itself
            if (atGroupStart && !deep() && parentDest() == Dest::Text)
                top().dest = Dest::Text;
            break;
        case Word::ListText:
            if (atGroupStart && !deep())
                top().ch.listText = true;
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
        case Word::Super:
        case Word::Sub:
        case Word::NoSuperSub:
        case Word::Up:
        case Word::Down:
        case Word::Highlight:
            if (!deep())
                changeCharacter(top().ch, info.word, hasParam, param);
            break;
        case Word::Par: paragraph(); break;
        case Word::Page:
            if (dest() == Dest::Text) {
                paragraph();
                breakNext_ = true;
            }
            break;
        case Word::Cell: endCell(); break;
        case Word::Row: endRow(); break;
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
            if (dest() == Dest::Text)
                defaultFont_ = param;
            break;
        case Word::DefaultTab:
            if (param > 0 && dest() == Dest::Text)
                defaultTab_ = param;
            break;
        case Word::Red: colorComponent(red_, param); break;
        case Word::Green: colorComponent(green_, param); break;
        case Word::Blue: colorComponent(blue_, param); break;
        default:
            if (dest() == Dest::Text)
                if (!tableWord(row_, info, param) && !deep()) {
                    if (info.word == Word::Pard)
                        bodyStarted_ = true;
                    paragraphWord(top().para, info, hasParam, param, raw);
                }
            break;
        }
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
        case Dest::Picture:
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
        if (!ensureParagraph())
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

    void insertPicture()
    {
        QTextCharFormat format = picture_.finish(pictureBudget_);
        picture_.start();
        if (!ensureParagraph() || characters_ >= richtext::kMaxCharacters)
            return;
        flushText();
        ++pictures_;
        ++characters_;
        cursor_.insertText(QString(QChar::ObjectReplacementCharacter), format);
        blockHasText_ = true;
    }

    void flushText()
    {
        if (pending_.isEmpty())
            return;
        cursor_.insertText(pending_, format(pendingState_));
        pending_.clear();
        blockHasText_ = true;
    }

    // Puts the cursor where the current paragraph's content goes: a new
    // paragraph after a \par, a table's cell for a table paragraph, the
    // paragraph after a table once a paragraph outside it starts. False once
    // the document holds as many paragraphs as a report may, which ends the
    // reading.
    bool ensureParagraph()
    {
        bodyStarted_ = true;
        const bool inTable = top().para.inTable;
        if (tables_.open() && !inTable) {
            flushText();
            tables_.close();
            enterFreshBlock();
        }
        if (inTable && tables_.needsCell()) {
            flushText();
            if (paragraphs_ >= richtext::kMaxParagraphs) {
                done_ = true;
                return false;
            }
            ++paragraphs_;
            if (tables_.enterCell(row_))
                enterFreshBlock();
            else
                paragraphPending_ = true; // a cell beyond the last takes a paragraph more
        }
        if (paragraphPending_)
            return openParagraph();
        if (blockFresh_) {
            blockFresh_ = false;
            blockCharFormat_ = format(shown(top().ch));
            cursor_.setBlockCharFormat(blockCharFormat_);
        }
        return true;
    }

    // The cursor is in an empty paragraph that takes what comes next.
    void enterFreshBlock()
    {
        blockFresh_ = true;
        blockHasText_ = false;
        paragraphPending_ = false;
    }

    // A \par ends the current paragraph; the next one is only created when
    // something follows, so the customary final \par adds no empty line.
    void paragraph()
    {
        if (dest() != Dest::Text || !ensureParagraph())
            return;
        flushText();
        applyBlockFormat();
        paragraphPending_ = true;
    }

    void endCell()
    {
        if (dest() != Dest::Text)
            return;
        if (!tables_.open() && !top().para.inTable) { // a cell outside a table reads as a tab
            put(u'\t');
            return;
        }
        top().para.inTable = true;
        if (!ensureParagraph())
            return;
        flushText();
        applyBlockFormat();
        tables_.endCell();
        paragraphPending_ = true; // the cell's paragraph is done; what follows enters the next
    }

    void endRow()
    {
        if (dest() != Dest::Text)
            return;
        if (!tables_.open()) {
            paragraph();
            return;
        }
        flushText();
        tables_.endRow(row_);
    }

    // Opens the paragraph a \par announced.
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
        QTextBlockFormat block = cachedBlockFormat(top().para);
        if (breakNext_)
            block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        if (!keptGroups_.isEmpty())
            block.setProperty(KeptGroups, keptGroups_);
        breakNext_ = false;
        keptGroups_.clear();
        if (!block.properties().isEmpty() || !cursor_.blockFormat().properties().isEmpty())
            cursor_.setBlockFormat(block);
    }

    QTextBlockFormat cachedBlockFormat(const ParaState& p)
    {
        if (!paraValid_ || !(p == para_)) {
            para_ = p;
            paraFormat_ = blockFormat(p, colors_);
            paraValid_ = true;
        }
        return paraFormat_;
    }

    void finish()
    {
        flushText();
        if (!paragraphPending_)
            applyBlockFormat();
        tables_.close();
        QTextOption option = doc_->defaultTextOption();
        option.setTabStopDistance(defaultTab_ * kPixelsPerTwip);
        doc_->setDefaultTextOption(option);
        if (!documentGroups_.isEmpty()) {
            QTextFrameFormat root = doc_->rootFrame()->frameFormat();
            root.setProperty(DocumentGroups, documentGroups_);
            doc_->rootFrame()->setFrameFormat(root);
        }
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
        if (!formatValid_ || !(formatState_ == s)) {
            format_ = charFormat(s, families_, colors_);
            formatState_ = s;
            formatValid_ = true;
        }
        return format_;
    }

    QTextDocument* doc_;
    QTextCursor cursor_;
    QStringView in_;
    qsizetype pos_ = 0;
    qsizetype lastContent_ = 0;
    bool done_ = false;

    QList<GroupState> stack_;
    int overflow_ = 0;         // open groups beyond the depth limit
    int overflowSkipFrom_ = 0; // the deep group that started a skipped destination
    bool groupStart_ = false;  // nothing but \* read since the last '{'
    bool starred_ = false;     // \* opened the current group
    qsizetype groupOpen_ = 0;  // where the last group opened
    int skipCount_ = 0;        // fallback characters still to drop after \uN

    int defaultFont_ = 0;
    int defaultTab_ = kDefaultTabTwips;
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
    bool blockFresh_ = true; // the cursor's paragraph is empty and takes what comes next
    bool bodyStarted_ = false;
    bool breakNext_ = false; // a \page: the next paragraph starts a page
    int paragraphs_ = 1; // a document always holds one
    qsizetype characters_ = 0;
    bool blockHasText_ = false;
    QTextCharFormat blockCharFormat_; // what an empty current block is as tall as
    QStringList keptGroups_;          // of the current paragraph
    QStringList documentGroups_;

    RowDef row_;
    TableBuilder tables_{cursor_, colors_};
    PictureReader picture_;
    int pictures_ = 0;
    qsizetype pictureBudget_ = kMaxPictureBytes;

    QTextCharFormat format_;
    CharState formatState_;
    bool formatValid_ = false;
    ParaState para_;
    QTextBlockFormat paraFormat_;
    bool paraValid_ = false;
};

} // namespace

void readRtf(QTextDocument* doc, QStringView rtf)
{
    Reader(doc, rtf).run();
}

} // namespace richtext::detail
